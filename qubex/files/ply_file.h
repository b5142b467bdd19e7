#pragma once
// The point cloud as an ASCII PLY file (x y z per vertex), readable by MeshLab and Blender.
#include "model/ifs_model.h"

#include <string>

namespace qubex {

std::string formatPly(const PointCloud& cloud);
bool writePlyFile(const std::string& path, const PointCloud& cloud);

} // namespace qubex
