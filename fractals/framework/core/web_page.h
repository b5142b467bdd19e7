#pragma once
// The web page that embeds the applet of a fractal type with the document's parameters.
#include "fractal_doc.h"

#include <string>

namespace fractals {

inline constexpr const char* kMsgHtmlNote =
    "To use the Java applets, the file must specify where the Java applets are located relative to "
    "itself. The "
    "default specifies that the applets are located in the same directory as this file. To change "
    "this, modify the "
    "\"codebase\" of the \"applet\" tag. This requires some knowledge of HTML.\n\nKaleidra "
    "installs the applets in "
    "the APPLETS directory under its directory.";
inline constexpr const char* kMsgHtmlCreateFailed = "Unable to create the HTML file to export to.";

// Inserts %1 and %2 the way the string table's templates expect.
std::string formatMessage(const std::string& pattern, const std::string& one,
                          const std::string& two = {});

// pageTitle: %1 of the page head; the heading and the applet's alt text use the type name.
std::string makeWebPage(const CFractalDoc& doc, const std::string& pageTitle);

// Applet class of a type key ("Mandel" -> "Mandel"); the key is what the applets are named after.
std::string appletClassName(const CFractalDoc& doc);

} // namespace fractals
