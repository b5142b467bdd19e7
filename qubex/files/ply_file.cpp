#include "ply_file.h"

#include "text_io.h"

#include <algorithm>
#include <charconv>

namespace qubex {

namespace {

// Shortest text that reads back as the same float, so nothing of the cloud is lost.
void appendFloat(std::string& text, float value)
{
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    text.append(buffer, error == std::errc() ? end : buffer);
}

} // namespace

std::string formatPly(const PointCloud& cloud)
{
    const int count = std::clamp(cloud.count, 0, kMaxPoints);
    std::string text = "ply\n"
                       "format ascii 1.0\n"
                       "comment qubex point cloud\n"
                       "element vertex " +
                       std::to_string(count) +
                       "\n"
                       "property float x\n"
                       "property float y\n"
                       "property float z\n"
                       "end_header\n";
    text.reserve(text.size() + static_cast<std::size_t>(count) * 40);
    for (int n = 0; n < count; ++n) {
        const Point3f& p = cloud.points[n];
        appendFloat(text, p.x);
        text += ' ';
        appendFloat(text, p.y);
        text += ' ';
        appendFloat(text, p.z);
        text += '\n';
    }
    return text;
}

bool writePlyFile(const std::string& path, const PointCloud& cloud)
{
    return writeFileReplacing(path, formatPly(cloud));
}

} // namespace qubex
