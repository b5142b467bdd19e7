#pragma once
// The registry of document kinds. The framework knows a kind only through the small factory
// record below; the list of kinds is assembled where the program is put together
// (fractals/kinds.cpp), so adding a kind never means editing the framework.
//
// Adding a kind:
//   1. write a function that returns its DocType (template id and string, the --new name,
//      the document factory, and either makeRule or renderFile for batch pictures; its own
//      batch options, if any, in batchOptions);
//   2. call registerDocType with it from registerCoreKinds() in fractals/kinds.cpp, in
//      template order;
//   3. for the window, register a ViewTemplate for the same id (fractals/window_kinds.cpp).
#include "escape_render.h"
#include "fractal_doc.h"

#include <atomic>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace fractals {

// A command-line option that belongs to one kind, for example "--points" of the IFS type.
// Several kinds may declare the same name; each sees only its own value.
struct BatchOption {
    std::string name;      // "--points"
    std::string valueName; // "N"; empty for a switch without value
    // Tells whether a value is acceptable (null: anything is); a refused value is a usage error.
    std::function<bool(const std::string&)> accepts;
    std::string help; // the one line --help shows, without the kinds (the help adds them)
};

// The kind's options as given on the command line: name to value ("" for a switch).
using BatchOptionValues = std::map<std::string, std::string>;

// What a kind with its own file render gets from the batch mode.
struct FileRenderRequest {
    const CFractalDoc& document;
    int width;
    int height;
    int threads; // 0: as many as the machine has
    std::filesystem::path path;
    const BatchOptionValues& options;
    RunGate& gate;
    std::atomic<int>* progressPercent; // may be null
    // Set by a render that refuses to start, with the text the window would show.
    std::string* message = nullptr;
};

struct DocType {
    int id; // template, menu, accelerator and icon id
    // "\nFractal\n<File New name>\n<filter>\n<ext>\n<type id>\n<type name>"
    std::string templateString;
    std::string commandLineName; // --new NAME
    // Null until the type is built; such a type opens an empty document window.
    std::function<std::unique_ptr<CFractalDoc>()> makeDocument;
    // Batch pictures: an escape-time rule rendered by the shared column loop with the shared
    // palette, or a render of the kind's own. Both null: the kind has no batch picture.
    std::function<std::unique_ptr<EscapeRule>(const CFractalDoc&, int width, int height)> makeRule;
    std::function<FileRenderResult(const FileRenderRequest&)> renderFile;
    std::vector<BatchOption> batchOptions;

    // Fields of the template string: 0 window title, 1 document name, 2 File New name,
    // 3 filter name, 4 extension, 5 registry type id, 6 registry type name.
    std::string field(int index) const;
};

// Adds a kind at the end of the list; a kind registered again under the same id replaces the
// earlier record in place (its position and address stay).
void registerDocType(DocType type);

// In registration order. A deque, so that records keep their addresses as kinds are added.
const std::deque<DocType>& docTypes();
const DocType* docTypeById(int id);
const DocType* docTypeByExtension(const std::string& extensionWithDot); // case-insensitive
const DocType* docTypeByCommandLineName(const std::string& name);

// The text the window shows (and batch mode prints) when a file cannot be opened.
std::string loadFailureMessage(const std::string& path, const std::string& reason);
std::string archiveFailureReason(const ArchiveException& e);
// Why `bytes` could not be read as a document: a document of the suite's 3D IFS program (its
// .ifs files are XML text) is named with the program that opens it, anything else gets
// archiveFailureReason.
std::string documentFailureReason(std::string_view bytes, const ArchiveException& e);
inline constexpr const char* kOrmolithDocumentText =
    "This is a document of Ormolith, not of fractals: open it with Ormolith.";

} // namespace fractals
