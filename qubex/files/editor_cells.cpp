#include "editor_cells.h"

#include "text_io.h"

#include <cmath>
#include <optional>
#include <string_view>

namespace qubex {

namespace {

// "%lf" reads the front of a cell ("0.5abc" gives 0.5); an empty or wordy cell gives nothing.
std::optional<double> cellValue(const std::vector<std::vector<std::string>>& cells, int row,
                                int column)
{
    if (row >= static_cast<int>(cells.size()) ||
        column >= static_cast<int>(cells[static_cast<std::size_t>(row)].size()))
        return std::nullopt;
    std::string_view text = cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
    return scanDouble(text);
}

// The test truncates first, so (-2, 2) passes for coefficients and (-1, 2) for thresholds.
// Done on doubles: NaN and infinities fail instead of overflowing an integer conversion.
bool truncatesInto(double value, double low, double high)
{
    const double t = std::trunc(value);
    return t >= low && t <= high;
}

} // namespace

std::string editorHeader(int column)
{
    if (column == kProbColumn)
        return "prob";
    return "code " + std::to_string(column + 1) + ".";
}

std::vector<std::vector<std::string>> editorCells(const IfsCode& code)
{
    std::vector<std::vector<std::string>> cells;
    for (int i = 0; i < code.mapCount(); ++i) {
        std::vector<std::string> row(kEditorColumns);
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                row[static_cast<std::size_t>(editorColumnOf(r, c))] =
                    formatFixed6(code.maps[i][r][c]);
        row[kProbColumn] = formatFixed6(code.thresholds[i]);
        cells.push_back(std::move(row));
    }
    return cells;
}

bool applyEditorCells(IfsCode& code, const std::vector<std::vector<std::string>>& cells)
{
    bool error = false;
    for (int i = 0; i < code.mapCount(); ++i) {
        const auto prob = cellValue(cells, i, kProbColumn);
        if (prob && truncatesInto(*prob, 0, 1))
            code.thresholds[i] = *prob;
        else
            error = true;
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) {
                const auto v = cellValue(cells, i, editorColumnOf(r, c));
                if (v && truncatesInto(*v, -1, 1))
                    code.maps[i][r][c] = *v;
                else
                    error = true;
            }
    }
    return error;
}

} // namespace qubex
