#pragma once
// The six document types as the program registers them: template id and string, file
// extension, the short name used on the command line, and the factories of the parts that
// exist without a window (document, escape-time rule).
#include "escape_render.h"
#include "fractal_doc.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace fractals {

struct DocType {
    int id; // template, menu, accelerator and icon id
    const char*
        templateString; // "\nFractal\n<File New name>\n<filter>\n<ext>\n<type id>\n<type name>"
    const char* commandLineName; // --new NAME
    // Null until the type is built; such a type opens an empty document window.
    std::function<std::unique_ptr<CFractalDoc>()> makeDocument;
    // Null for types that do not render through the escape-time column loop.
    std::function<std::unique_ptr<EscapeRule>(const CFractalDoc&, int width, int height)> makeRule;

    // Fields of the template string: 0 window title, 1 document name, 2 File New name,
    // 3 filter name, 4 extension, 5 registry type id, 6 registry type name.
    std::string field(int index) const;
};

// In registration order: IFS, L-System, Henon, Julia, Mandelbrot, Julia with cosines.
const std::vector<DocType>& docTypes();
const DocType* docTypeById(int id);
const DocType* docTypeByExtension(const std::string& extensionWithDot); // case-insensitive
const DocType* docTypeByCommandLineName(const std::string& name);

// The text the window shows (and batch mode prints) when a file cannot be opened.
std::string loadFailureMessage(const std::string& path, const std::string& reason);
std::string archiveFailureReason(const ArchiveException& e);

} // namespace fractals
