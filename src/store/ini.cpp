// INI profile files.
//
// A file is a sequence of lines ended by CR LF, LF or CR (the last one may have no end). A line
// whose first non-blank character is '[' is a section header: the name runs to the first ']' (or
// to the end of the line when there is none) and is trimmed of blanks. A line whose first
// non-blank character is ';' is a comment. Any other line that holds '=' is a key line: the key is
// the text before the first '=' trimmed of blanks, the value everything after it as it stands.
// Other lines (blank lines, text without '=') hold nothing. Blanks are spaces and tabs, for the
// names given by the caller as for those in the file. Names are compared with the letter case
// folding of the code page; only the first section of a name and the first key of a name in it
// count.
//
// The text functions below never change a byte they do not have to: a value is replaced in its own
// line, which keeps its key spelling and line end; a new key goes after the last key line of its
// section; a new section goes to the end of the file. Lines they add end in CR LF.
#include "store/ini.h"

#include <cerrno>
#include <cstring>
#include <deque>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "store/atomicfile.h"
#include "store/codepage.h"
#include "store/error.h"
#include "store/fsys.h"

namespace ortavia::ini {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

// One line of the content: [begin, end) is its text, [end, next) its line end.
struct Line {
    size_t begin, end, next;
    bool hasEnd() const { return next > end; }
};

// Position of the first CR or LF in [pos, size), or size. This is where reading spends its time,
// so on x86-64 sixteen bytes are looked at in one step.
size_t findBreak(std::string_view c, size_t pos) {
    const char* base = c.data();
    const size_t n = c.size();
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    while (pos + 16 <= n) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + pos));
        const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
        if (mask != 0)
            return pos + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
        pos += 16;
    }
#endif
    while (pos < n && base[pos] != '\r' && base[pos] != '\n')
        ++pos;
    return pos;
}

Line lineAt(std::string_view c, size_t pos) {
    const size_t end = findBreak(c, pos);
    if (end == c.size())
        return {pos, end, end};
    return {pos, end, c[end] == '\r' && end + 1 < c.size() && c[end + 1] == '\n' ? end + 2 : end + 1};
}

enum class Kind { Header, Comment, Key, Other };

struct Parsed {
    Kind kind;
    size_t eq;             // position of the first '=' of a key line
    std::string_view name; // key of a key line, name of a header
};

Parsed parse(std::string_view c, const Line& l) {
    size_t p = l.begin;
    while (p < l.end && isBlank(c[p]))
        ++p;
    if (p == l.end)
        return {Kind::Other, 0, {}};
    if (c[p] == '[') {
        std::string_view inner = c.substr(p + 1, l.end - p - 1);
        size_t close = inner.find(']');
        return {Kind::Header, 0, trim(inner.substr(0, close))};
    }
    if (c[p] == ';')
        return {Kind::Comment, 0, {}};
    const void* eq = std::memchr(c.data() + p, '=', l.end - p);
    if (!eq)
        return {Kind::Other, 0, {}};
    size_t e = static_cast<size_t>(static_cast<const char*>(eq) - c.data());
    return {Kind::Key, e, trim(c.substr(p, e - p))};
}

// The name of a section header line: trimmed, up to the first ']'. q is the position of its '['.
std::string_view headerNameAt(std::string_view c, size_t q, size_t lineEnd) {
    std::string_view inner = c.substr(q + 1, lineEnd - q - 1);
    return trim(inner.substr(0, inner.find(']')));
}

// Calls onHeader(line, name) for every header line, in order, going through the content line by
// line; stops when it returns true.
template <typename F> void forEachHeader(std::string_view c, F&& onHeader) {
    const size_t n = c.size();
    size_t pos = 0; // start of a line
    while (pos < n) {
        size_t q = pos;
        while (q < n && isBlank(c[q]))
            ++q;
        if (q < n && c[q] == '[') {
            Line l = lineAt(c, pos);
            if (onHeader(l, headerNameAt(c, q, l.end)))
                return;
            pos = l.next;
            continue;
        }
        const size_t end = findBreak(c, q);
        if (end == n)
            break;
        pos = c[end] == '\r' && end + 1 < n && c[end + 1] == '\n' ? end + 2 : end + 1;
    }
}

// The header line of the first section of that name.
struct Section {
    Line header;
    bool found;
};

Section findSection(std::string_view c, std::string_view name) {
    Section found{{0, 0, 0}, false};
    forEachHeader(c, [&](const Line& l, std::string_view header) {
        if (!cp::equalsNoCase(header, name))
            return false;
        found = {l, true};
        return true;
    });
    return found;
}

std::string_view cutAtNul(std::string_view v) {
    size_t nul = v.find('\0');
    return nul == std::string_view::npos ? v : v.substr(0, nul);
}

bool endsInLineBreak(std::string_view c) {
    return !c.empty() && (c.back() == '\n' || c.back() == '\r');
}

// What a read gives for a missing value: the default less its trailing spaces.
std::string defaultValue(std::string_view def) {
    size_t e = def.size();
    while (e > 0 && def[e - 1] == ' ')
        --e;
    return std::string(def.substr(0, std::min(e, kMaxValue)));
}

// The value of the first key line of that name in the lines of one section (no header among them).
std::optional<std::string_view> findKey(std::string_view lines, std::string_view key) {
    for (size_t pos = 0; pos < lines.size();) {
        Line l = lineAt(lines, pos);
        Parsed p = parse(lines, l);
        if (p.kind == Kind::Header)
            break;
        if (p.kind == Kind::Key && cp::equalsNoCase(p.name, key))
            return lines.substr(p.eq + 1, l.end - p.eq - 1);
        pos = l.next;
    }
    return std::nullopt;
}

// The content of a batch cut into pieces: the text before the first header, then one piece per
// header line up to the next header. Each change touches the piece of its section only, so that a
// batch costs the size of the content once rather than once per change, and the pieces joined
// again are exactly the content that the changes made one by one would give.
class Pieces {
public:
    explicit Pieces(std::string_view content) { split(content); }

    void write(std::string_view section, std::string_view key, std::string_view value) {
        const std::string_view sec = trim(section);
        if (const int id = first(sec); id >= 0) {
            pieces_[static_cast<size_t>(id)].text =
                writeInto(pieces_[static_cast<size_t>(id)].text, section, key, value);
        } else {
            // A new section goes to the end, after a line end put to an unended last line.
            std::string& end = pieces_[static_cast<size_t>(last_)].text;
            if (!end.empty() && !endsInLineBreak(end))
                end.append(kLineEnd);
            std::string text = writeInto({}, section, key, value); // "[name]" CR LF and the key line
            std::string name = cp::foldCase(headerNameAt(text, 0, text.find_first_of("\r\n")));
            add(std::move(text), std::move(name));
        }
        // A name or value holding a line break, or a key line that reads as a header, changes where
        // sections begin: the pieces are cut anew.
        const std::string_view k = trim(key);
        if (hasBreak(section) || hasBreak(key) || hasBreak(cutAtNul(value)) ||
            (!k.empty() && k.front() == '['))
            split(join());
    }

    // The section's header and data lines go; the comment and blank lines it keeps join the piece
    // before it, so that a later change there sees the lines as the file has them.
    void erase(std::string_view section) {
        const std::string_view sec = trim(section);
        const int id = first(sec);
        if (id < 0)
            return;
        byName_[cp::foldCase(sec)].pop_front();
        Piece& gone = pieces_[static_cast<size_t>(id)];
        Piece& before = pieces_[static_cast<size_t>(gone.prev)];
        before.text.append(eraseFrom(gone.text, section));
        before.next = gone.next;
        if (gone.next >= 0)
            pieces_[static_cast<size_t>(gone.next)].prev = gone.prev;
        else
            last_ = gone.prev;
        gone.text.clear();
    }

    std::string join() const {
        size_t size = 0;
        for (int id = 0; id >= 0; id = pieces_[static_cast<size_t>(id)].next)
            size += pieces_[static_cast<size_t>(id)].text.size();
        std::string out;
        out.reserve(size);
        for (int id = 0; id >= 0; id = pieces_[static_cast<size_t>(id)].next)
            out.append(pieces_[static_cast<size_t>(id)].text);
        return out;
    }

private:
    struct Piece {
        std::string text;
        int prev, next; // neighbours in the content, -1 at its ends
    };

    static bool hasBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

    void split(std::string_view c) {
        pieces_.clear();
        byName_.clear();
        pieces_.push_back({{}, -1, -1});
        last_ = 0;
        size_t begin = 0;
        std::string name;
        bool header = false;
        forEachHeader(c, [&](const Line& l, std::string_view found) {
            pieces_[static_cast<size_t>(last_)].text.assign(c.substr(begin, l.begin - begin));
            if (header)
                byName_[name].push_back(last_);
            add({}, std::nullopt);
            begin = l.begin;
            name = cp::foldCase(found);
            header = true;
            return false;
        });
        pieces_[static_cast<size_t>(last_)].text.assign(c.substr(begin));
        if (header)
            byName_[name].push_back(last_);
    }

    void add(std::string text, const std::optional<std::string>& name) {
        const int id = static_cast<int>(pieces_.size());
        pieces_.push_back({std::move(text), last_, -1});
        pieces_[static_cast<size_t>(last_)].next = id;
        last_ = id;
        if (name)
            byName_[*name].push_back(id);
    }

    // The piece of the first section of that name, or -1.
    int first(std::string_view name) const {
        const auto it = byName_.find(cp::foldCase(name));
        return it == byName_.end() || it->second.empty() ? -1 : it->second.front();
    }

    std::vector<Piece> pieces_; // [0]: the text before the first header
    int last_ = 0;
    std::unordered_map<std::string, std::deque<int>> byName_; // folded name -> its pieces in order
};

} // namespace

std::string readFrom(std::string_view content, std::string_view section, std::string_view key,
                     std::string_view def) {
    Section s = findSection(content, trim(section));
    if (s.found)
        if (std::optional<std::string_view> v = findKey(content.substr(s.header.next), trim(key)))
            return std::string(v->substr(0, kMaxValue));
    return defaultValue(def);
}

std::string writeInto(std::string_view content, std::string_view section, std::string_view key,
                      std::string_view value) {
    const std::string_view sec = trim(section);
    const std::string_view k = trim(key);
    const std::string_view v = cutAtNul(value);
    std::string out;
    Section s = findSection(content, sec);
    if (!s.found) {
        out.reserve(content.size() + sec.size() + k.size() + v.size() + 10);
        out.append(content);
        if (!content.empty() && !endsInLineBreak(content))
            out.append(kLineEnd);
        out.append("[").append(sec).append("]").append(kLineEnd);
        out.append(k).append("=").append(v).append(kLineEnd);
        return out;
    }
    Line after = s.header; // the line the new key goes after
    for (size_t pos = s.header.next; pos < content.size();) {
        Line l = lineAt(content, pos);
        Parsed p = parse(content, l);
        if (p.kind == Kind::Header)
            break;
        if (p.kind == Kind::Key) {
            if (cp::equalsNoCase(p.name, k)) {
                out.reserve(content.size() + v.size());
                out.append(content.substr(0, p.eq + 1)).append(v).append(content.substr(l.end));
                return out;
            }
            after = l;
        }
        pos = l.next;
    }
    out.reserve(content.size() + k.size() + v.size() + 5);
    out.append(content.substr(0, after.next));
    if (!after.hasEnd())
        out.append(kLineEnd);
    out.append(k).append("=").append(v).append(kLineEnd);
    out.append(content.substr(after.next));
    return out;
}

// The header and the lines that belong to the section's data (key lines and other non-blank text)
// go; comment lines and blank lines stay where they are, since they may describe or separate
// what follows.
std::string eraseFrom(std::string_view content, std::string_view section) {
    Section s = findSection(content, trim(section));
    if (!s.found)
        return std::string(content);
    std::string out;
    out.reserve(content.size());
    out.append(content.substr(0, s.header.begin));
    size_t pos = s.header.next;
    while (pos < content.size()) {
        Line l = lineAt(content, pos);
        Parsed p = parse(content, l);
        if (p.kind == Kind::Header)
            break;
        const bool blank = trim(content.substr(l.begin, l.end - l.begin)).empty();
        if (p.kind == Kind::Comment || blank)
            out.append(content.substr(l.begin, l.next - l.begin));
        pos = l.next;
    }
    out.append(content.substr(pos));
    return out;
}

std::string read(std::string_view path, std::string_view section, std::string_view key,
                 std::string_view def) {
    const std::string real = fsys::resolve(path);
    int err = 0;
    std::optional<std::string_view> content = atomicfile::readShared(real, &err);
    // A folder, pipe or device in a file's place is no missing file: it is named, never waited on.
    if (!content && (err == atomicfile::kNotRegular || err == EISDIR))
        throw Error(atomicfile::notRegularMessage(real));
    return readFrom(content.value_or(std::string_view()), section, key, def);
}

// A write always replaces the file, even with an equal copy, so that writing into a file that may
// not be written fails in every case; an erase that finds nothing to erase leaves the file alone.
void write(std::string_view path, std::string_view section, std::string_view key, std::string_view value) {
    atomicfile::update(
        path, atomicfile::Missing::Create, [&](const std::string* old) -> std::optional<std::string> {
            return writeInto(old ? std::string_view(*old) : std::string_view(), section, key, value);
        });
}

void eraseSection(std::string_view path, std::string_view section) {
    atomicfile::update(path, atomicfile::Missing::Leave,
                       [&](const std::string* old) -> std::optional<std::string> {
                           std::string changed = eraseFrom(*old, section);
                           if (changed == *old)
                               return std::nullopt;
                           return changed;
                       });
}

Batch::Batch(std::string path) : path_(std::move(path)) {}

void Batch::write(std::string_view section, std::string_view key, std::string_view value) {
    ops_.push_back({false, std::string(section), std::string(key), std::string(value)});
}

void Batch::eraseSection(std::string_view section) {
    ops_.push_back({true, std::string(section), {}, {}});
}

void Batch::applyTo(std::string& content) const {
    Pieces pieces(content);
    for (const Op& op : ops_) {
        if (op.erase)
            pieces.erase(op.section);
        else
            pieces.write(op.section, op.key, op.value);
    }
    content = pieces.join();
}

Sections::Sections(std::string_view content) {
    size_t begin = 0;
    std::string name;
    bool header = false;
    const auto close = [&](size_t end) {
        if (header)
            first_.try_emplace(name, content.substr(begin, end - begin));
    };
    forEachHeader(content, [&](const Line& l, std::string_view found) {
        close(l.begin);
        begin = l.next;
        name = cp::foldCase(found);
        header = true;
        return false;
    });
    close(content.size());
}

std::optional<std::string_view> Sections::find(std::string_view section, std::string_view key) const {
    const auto it = first_.find(cp::foldCase(trim(section)));
    if (it == first_.end())
        return std::nullopt;
    return findKey(it->second, trim(key));
}

std::string Sections::read(std::string_view section, std::string_view key, std::string_view def) const {
    if (std::optional<std::string_view> v = find(section, key))
        return std::string(v->substr(0, kMaxValue));
    return defaultValue(def);
}

std::vector<std::string_view> sectionNames(std::string_view content) {
    std::vector<std::string_view> names;
    forEachHeader(content, [&names](const Line&, std::string_view name) {
        names.push_back(name);
        return false;
    });
    return names;
}

void Batch::commit() {
    if (ops_.empty())
        return;
    bool writes = false;
    for (const Op& op : ops_)
        writes = writes || !op.erase;
    atomicfile::update(path_, writes ? atomicfile::Missing::Create : atomicfile::Missing::Leave,
                       [&](const std::string* old) -> std::optional<std::string> {
                           std::string content = old ? *old : std::string();
                           const std::string before = content;
                           applyTo(content);
                           if (!writes && content == before)
                               return std::nullopt;
                           return content;
                       });
    ops_.clear();
}

} // namespace ortavia::ini
