#pragma once
// The code editor's grid as text: 17 columns per map (the 16 elements column by column, then
// "prob"), and the rules by which typed cells are taken back into the code.
#include "model/ifs_model.h"

#include <string>
#include <vector>

namespace qubex {

inline constexpr int kEditorColumns = 17;
inline constexpr int kProbColumn = 16;
inline constexpr const char* kCodeInterpretationError = "Error at code interpretation";

// Grid column of element (row, col): the first four columns hold the matrix's first column.
constexpr int editorColumnOf(int row, int col)
{
    return row + 4 * col;
}

std::string editorHeader(int column); // "code 1." .. "code 16.", "prob"
// One row of texts per map in use.
std::vector<std::vector<std::string>> editorCells(const IfsCode& code);

// Takes the typed cells back into the code. A threshold is taken when it truncates to 0..1, a
// coefficient when it truncates to -1..1; any other value, a cell that is not a number and a
// missing cell keep the old value and make the result true (an error to report once).
bool applyEditorCells(IfsCode& code, const std::vector<std::vector<std::string>>& cells);

} // namespace qubex
