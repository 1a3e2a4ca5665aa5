#pragma once
// INI profile files: the read, write and section erase of the Windows profile functions, with
// values kept verbatim, names matched without regard to case (Cyrillic and Kazakh included),
// every change an atomic replacement of the whole file under an exclusive lock of a companion
// "<file>.lock", so that several copies of the program sharing one folder never lose a write.
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ortavia::ini {

constexpr std::size_t kMaxValue = 2047; // a read value is cut to this many bytes

// Value of key in section, or def (less its trailing spaces) when file, section or key is missing.
// Takes no lock and fails only when a folder, pipe or device stands in the file's place (Error
// naming it; a pipe would otherwise block the program).
std::string read(std::string_view path, std::string_view section, std::string_view key, std::string_view def);

// Writes one value (ending at its first NUL byte). Throws Error("Unable to write to <path>") when
// the file cannot be replaced; the file then keeps its previous content whole.
void write(std::string_view path, std::string_view section, std::string_view key, std::string_view value);

// Removes the first section of that name: its header and key lines (comment lines stay).
void eraseSection(std::string_view path, std::string_view section);

// Many changes to one file made as one atomic replacement, with exactly the bytes that making them
// one by one would give.
class Batch {
public:
    explicit Batch(std::string path);
    void write(std::string_view section, std::string_view key, std::string_view value);
    void eraseSection(std::string_view section);
    bool empty() const { return ops_.empty(); }
    void commit(); // throws as write() does; nothing is changed on failure
    // The changes applied to a text, as commit applies them to the file's content.
    void applyTo(std::string& content) const;

private:
    struct Op {
        bool erase;
        std::string section, key, value;
    };
    std::string path_;
    std::vector<Op> ops_;
};

// Pure text transformations behind the file operations (exposed for tests and the fuzzer).
std::string readFrom(std::string_view content, std::string_view section, std::string_view key,
                     std::string_view def);
std::string writeInto(std::string_view content, std::string_view section, std::string_view key,
                      std::string_view value);
std::string eraseFrom(std::string_view content, std::string_view section);

// Many reads from one content: the sections are found in one pass, so that each read goes through
// its own section only. The content must outlive the index.
class Sections {
public:
    explicit Sections(std::string_view content);
    // The whole value of the key (not cut), or nullopt when section or key is missing.
    std::optional<std::string_view> find(std::string_view section, std::string_view key) const;
    // What readFrom gives.
    std::string read(std::string_view section, std::string_view key, std::string_view def) const;

private:
    // Folded name of the first section of each name -> the text after its header line, up to
    // the next header.
    std::unordered_map<std::string, std::string_view> first_;
};

// The names of the section headers of a content as the reads see them (trimmed), in file order,
// repeats included.
std::vector<std::string_view> sectionNames(std::string_view content);

} // namespace ortavia::ini
