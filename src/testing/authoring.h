#pragma once
// Question authoring around the test files: reading a question source in UTF-8, UTF-16 or the course
// code page; the three source formats a test can be imported from and exported to (the plain format
// of the encipher tool, Aiken and the multiple-choice subset of GIFT); putting a test in place as
// data/tests/testN.ini of a course, the previous file kept as testN.ini.bak.
//
// A test as a student sees it is a list of questions, each with two to five answers and one right
// answer. Stored, answer k carries the letter prefix "A) " ... "E) " as the encipher tool's files
// do; the answers a question lacks are stored empty and are not shown on the test screen.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "testing/encipher.h"

namespace ortavia::testing::authoring {

enum class Format { Plain, Aiken, Gift };

// The lines of a question source (code page text). UTF-8 with or without a byte-order mark and
// UTF-16 with a byte-order mark are converted to the course code page; a character the code page
// cannot hold but the question notation can say is written in the notation (² as ^2, λ as
// \lambda), in GIFT's escaped form for a GIFT source (the format given, else detected). Other
// bytes are taken as code page text. Throws Error naming the line and column of a character that
// neither can hold, the line of NUL bytes in a file without a byte-order mark (UTF-16 without a
// mark), or the lines and letters of a Windows-1251 text with Ukrainian or Belarusian letters
// (ї є ґ ў), whose bytes the code page holds as Kazakh letters (ү ғ ө ұ), when no other Kazakh
// letter shows it is Kazakh text.
std::vector<std::string> decodeSource(std::string_view bytes, std::optional<Format> format = std::nullopt);
// The same for a file (a code page path or fsys::rawPath); throws Error when it cannot be read.
std::vector<std::string> readSource(std::string_view path, std::optional<Format> format = std::nullopt);

std::optional<Format> formatNamed(std::string_view name); // "plain", "aiken", "gift"
std::string_view formatName(Format format);
// Aiken when a line begins with "ANSWER:", GIFT when an unescaped "{" is found and no line is a plain
// answer line "A)" ... "E)", else plain.
Format detectFormat(const std::vector<std::string>& lines);

struct Item {
    std::string text;                 // code page, one line
    std::vector<std::string> answers; // 2 ... 5, without letter prefixes
    int right = 0;                    // 0-based index into answers
    int line = 0;                     // where the question begins in its source (1-based)
    bool operator==(const Item& o) const {
        return text == o.text && answers == o.answers && right == o.right;
    }
};

struct Refusal {
    int line;
    std::string text; // UTF-8
};

struct Parsed {
    std::vector<Item> items;
    std::vector<Refusal> refusals; // one per question that cannot be taken; nothing may be written
};

// The questions of a source. The plain format is read strictly, as a student would see the test:
// a question line, then its answer lines in the order A), B), ... (two to five), exactly one of them
// ending in "*"; nothing carries over from one question to the next.
Parsed parse(const std::vector<std::string>& lines, Format format);

// The content of a fresh test file holding the items (sections 1 ... n and "inf"). Throws Error for
// a value that cannot be stored (a control character, more than 2047 bytes).
std::string testFileContent(const std::vector<Item>& items);
// The same for the encipher tool's result.
std::string testFileContent(const encipher::Result& result);

// The items of a test file as the test run reads it (letter prefixes and the marker blank removed).
// Throws Error naming the problems of a file that cannot be exported.
std::vector<Item> itemsOf(std::string_view fileName);

// A source of the items in the format, UTF-8 text with CR LF line ends. The question notation is
// written in Unicode where that imports again as the same notation (B^2 as B², \mu_0 as μ₀).
// Everything else is kept as written, so that importing the export gives the same test.
std::string exportText(const std::vector<Item>& items, Format format);

// Puts a test file in place: content replaces the file at path (a code page path or fsys::rawPath);
// an existing file is first copied to path + ".bak". A failure leaves the test file whole. Gives the
// backup path shown to the user (empty when there was no previous file). The backup keeps the test
// file's permissions. A symbolic link in the place of either file that leads out of the course folder
// (empty: the current directory) is refused.
std::string install(std::string_view path, std::string_view content, std::string_view courseFolder = {});
// Copies the figures that the texts name (\img{NAME}, code page texts) from the folder of the source
// file into <course>/data/tests/img/, replacing figures of those names. Each name is checked before
// anything is copied: a name with a folder part or "..", or a figure found neither beside the source
// nor in the course already, throws Error naming it. Gives the names copied.
std::vector<std::string> installFigures(std::string_view sourcePath, std::string_view courseFolder,
                                        const std::vector<std::string>& texts);
// The same in two steps, where the source and the course are on different computers: the figures the
// texts name, read from beside the source (a name that is no plain file name is not looked for), and
// their install, every name checked first; sourceFolder (UTF-8) names the source's folder in messages.
struct Figure {
    std::string name;                 // UTF-8, as the questions name it
    std::optional<std::string> bytes; // none beside the source
};
std::vector<Figure> figuresBeside(std::string_view sourcePath, const std::vector<std::string>& texts);
std::string sourceFolderOf(std::string_view sourcePath);
std::vector<std::string> installFigures(const std::vector<Figure>& figures, std::string_view sourceFolder,
                                        std::string_view courseFolder);
// The path of test n in the course folder: <course>/data/tests/test<n>.ini.
std::string installPath(std::string_view courseFolder, int n);

// The encipher tool's conversion of a source (read and refused as encipher::encipherFile does,
// working values carried over) installed as test n of the course folder. The working values are
// advanced only when the file is in place; throws Error otherwise.
struct Installed {
    encipher::Result result;
    std::string path;   // shown to the user (UTF-8)
    std::string backup; // the previous file's copy, or empty
};
Installed installEnciphered(std::string_view sourcePath, std::string_view courseFolder, int n,
                            encipher::Working& working);
// The conversion alone: the test file content and the working values it leaves (taken over once the
// file is in place).
struct Enciphered {
    encipher::Result result;
    std::string content;
    encipher::Working next;
};
Enciphered encipherForInstall(std::string_view sourcePath, const encipher::Working& working);

} // namespace ortavia::testing::authoring
