// Reading a case from disk: the case file and the case document. They open
// and read files, so they belong to the program's layer; the engine reads
// the same text from memory (parseCase, parseCaseDocument).
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>

#include "cli/case_file_source.h"
#include "format/free_form_reader.h"
#include "format/whole_case.h"
#include "hxrate/case.h"
#include "hxrate/case_document.h"
#include "hxrate/case_files.h"
#include "hxrate/errors.h"

namespace hxrate {
namespace {

// Opens the case file or case document `name` as the program opens its case
// file: the folders on the way as the system finds them, the last name
// through links of the user's own only, so that another user's link is
// refused, naming it, before a byte of what it leads to is read.
UniqueFd openOwnCaseFile(const std::string& name) {
    const std::filesystem::path path(name);
    const std::string folderName = path.has_parent_path() ? path.parent_path().string() : ".";
    UniqueFd folder = openFolder(AT_FDCWD, folderName.c_str());
    if (folder) {
        FilePlace place = locateFile(folder.get(), path.filename().string());
        if (!place.refusal.empty() && place.error == 0)
            throw InputError(errorNumber::caseFileUnreadable,
                             "cannot read the case file \"" + name + "\": " + place.refusal, name);
        if (place.error == 0 && place.exists)
            return UniqueFd(openCaseFileAt(place.folder.get(), place.name, name, O_NOFOLLOW));
    }
    // No such file or folder, or a name that is none: the open says why.
    return UniqueFd(openCaseFile(name));
}

// Appends the bytes of `fd` to `text` until the end of the file or until
// `text` holds `limit` bytes.
void readUpTo(int fd, const std::string& name, std::string& text, std::size_t limit) {
    char buffer[65536];
    while (text.size() < limit) {
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, limit - text.size()));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0)
            throw InputError(errorNumber::caseFileUnreadable,
                             "cannot read the case file \"" + name + "\": " + std::strerror(errno),
                             name);
        if (n == 0) return;
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

// The bytes of the file `name`: a document's up to one byte past the
// document limit, a case file's to its end when `wholeCaseFile`.
std::string readText(const std::string& name, bool wholeCaseFile) {
    try {
        UniqueFd fd = openOwnCaseFile(name);
        std::string text;
        readUpTo(fd.get(), name, text, caseDocumentLimitBytes + 1);
        if (wholeCaseFile && text.size() > caseDocumentLimitBytes && !looksLikeCaseDocument(text))
            readUpTo(fd.get(), name, text, text.max_size());
        return text;
    } catch (const std::bad_alloc&) {
        throw ResourceError(errorNumber::storageRefused,
                            "not enough memory to read \"" + name + "\"");
    } catch (const std::length_error&) {
        throw ResourceError(errorNumber::storageRefused,
                            "not enough memory to read \"" + name + "\"");
    }
}

}  // namespace

Case readCase(const std::filesystem::path& path) {
    FreeFormReader reader(path.string(),
                          std::make_unique<DescriptorSource>(openOwnCaseFile(path.string())));
    return readWholeCase(reader);
}

CaseDocument readCaseDocument(const std::filesystem::path& path) {
    const std::string name = path.string();
    // A text past the limit is refused by parseCaseDocument, by its size.
    return parseCaseDocument(readText(name, false), name);
}

std::string readCaseText(const std::filesystem::path& path) {
    const std::string name = path.string();
    std::string text = readText(name, true);
    // A document past the limit is refused here, as parseCaseDocument
    // refuses it by its size, before anything is read beyond it.
    if (text.size() > caseDocumentLimitBytes && looksLikeCaseDocument(text))
        (void)parseCaseDocument(text, name);
    return text;
}

}  // namespace hxrate
