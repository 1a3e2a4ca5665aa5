// The protected value store: INI values enciphered byte by byte.
#include "store/store.h"

#include "store/atomicfile.h"
#include "store/error.h"
#include "store/fsys.h"

namespace ortavia::store {
namespace {

// An enciphered value must not hold a byte that ends it (NUL) or breaks its line (CR, LF).
void checkStorable(std::string_view enciphered) {
    for (char c : enciphered)
        if (c == '\0' || c == '\r' || c == '\n')
            throw Error("Значение содержит недопустимый управляющий символ и не может быть сохранено.");
}

} // namespace

void crypt(std::string_view text, int key, std::string& out) {
    const char k = static_cast<char>(key & 0xFF);
    const size_t start = out.size();
    out.resize(start + text.size());
    for (size_t i = 0; i < text.size(); ++i)
        out[start + i] = static_cast<char>(text[i] ^ k);
}

std::string crypt(std::string_view text) {
    std::string out;
    crypt(text, kCipherKey, out);
    return out;
}

std::string read(std::string_view section, std::string_view key, std::string_view fileName) {
    return crypt(ini::read(fsys::storePath(fileName), section, key, kDefaultText));
}

void write(std::string_view section, std::string_view key, std::string_view plain,
           std::string_view fileName) {
    const std::string enciphered = crypt(plain);
    checkStorable(enciphered);
    ini::write(fsys::storePath(fileName), section, key, enciphered);
}

void erase(std::string_view section, std::string_view fileName) {
    ini::eraseSection(fsys::storePath(fileName), section);
}

Batch::Batch(std::string_view fileName) : path_(fsys::storePath(fileName)), batch_(path_) {}

void Batch::write(std::string_view section, std::string_view key, std::string_view plain) {
    const std::string enciphered = crypt(plain);
    checkStorable(enciphered); // refused here, before the commit writes anything
    batch_.write(section, key, enciphered);
}

void Batch::erase(std::string_view section) {
    batch_.eraseSection(section);
}

void Batch::commit() {
    batch_.commit();
}

void Batch::commit(const std::function<void(std::string_view current)>& check) {
    atomicfile::update(path_, atomicfile::Missing::Create,
                       [&](const std::string* old) -> std::optional<std::string> {
                           std::string content = old ? *old : std::string();
                           check(content);
                           batch_.applyTo(content);
                           return content;
                       });
}

} // namespace ortavia::store
