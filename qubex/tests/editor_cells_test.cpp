#include "files/editor_cells.h"

#include <gtest/gtest.h>

namespace qubex {
namespace {

IfsCode twoMaps()
{
    IfsCode code;
    code.matrix_length = 2;
    for (int i = 0; i < 2; ++i) {
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                code.maps[i][r][c] = 0.01 * (i * 16 + r * 4 + c);
        code.thresholds[i] = 0.5 * (i + 1);
    }
    return code;
}

TEST(EditorCells, HeadersAndColumnOrder)
{
    EXPECT_EQ(editorHeader(0), "code 1.");
    EXPECT_EQ(editorHeader(15), "code 16.");
    EXPECT_EQ(editorHeader(16), "prob");
    const auto cells = editorCells(twoMaps());
    ASSERT_EQ(cells.size(), 2u);
    ASSERT_EQ(cells[0].size(), 17u);
    // Columns 0..3 hold the matrix's first column: (0,0), (1,0), (2,0), (3,0).
    EXPECT_EQ(cells[0][0], "0.000000");
    EXPECT_EQ(cells[0][1], "0.040000");
    EXPECT_EQ(cells[0][3], "0.120000");
    EXPECT_EQ(cells[0][4], "0.010000");
    EXPECT_EQ(cells[1][15], "0.310000");
    EXPECT_EQ(cells[1][16], "1.000000");
}

TEST(EditorCells, UnchangedCellsApplyWithoutError)
{
    IfsCode code = twoMaps();
    EXPECT_FALSE(applyEditorCells(code, editorCells(code)));
    EXPECT_NEAR(code.maps[1][2][3], 0.27, 1e-9);
}

TEST(EditorCells, TruncationDecidesWhatIsTaken)
{
    IfsCode code = twoMaps();
    auto cells = editorCells(code);
    cells[0][0] = "1.9";   // truncates to 1: taken
    cells[0][1] = "-1.5";  // truncates to -1: taken as a coefficient
    cells[0][16] = "-1.5"; // truncates to -1: refused as a threshold
    cells[1][16] = "1.99"; // taken
    EXPECT_TRUE(applyEditorCells(code, cells));
    EXPECT_EQ(code.maps[0][0][0], 1.9);
    EXPECT_EQ(code.maps[0][1][0], -1.5);
    EXPECT_EQ(code.thresholds[0], 0.5);
    EXPECT_EQ(code.thresholds[1], 1.99);
}

TEST(EditorCells, BadCellKeepsItsValueAndTheRestIsApplied)
{
    for (const char* bad : {"2", "2.0", "-2", "abc", "", "nan", "inf", "1e400"}) {
        IfsCode code = twoMaps();
        auto cells = editorCells(code);
        cells[1][5] = bad;    // element (1, 1) of map 1
        cells[1][6] = "0.75"; // element (2, 1) of map 1
        EXPECT_TRUE(applyEditorCells(code, cells)) << bad;
        EXPECT_EQ(code.maps[1][1][1], twoMaps().maps[1][1][1]) << bad;
        EXPECT_EQ(code.maps[1][2][1], 0.75) << bad;
    }
}

TEST(EditorCells, MissingRowsAreErrorsNotCrashes)
{
    // The dialog can change the matrix length while the editor still shows the old rows.
    IfsCode code = twoMaps();
    auto cells = editorCells(code);
    code.matrix_length = 5;
    EXPECT_TRUE(applyEditorCells(code, cells));
    cells[0].resize(3);
    code.matrix_length = 2;
    EXPECT_TRUE(applyEditorCells(code, cells));
}

TEST(EditorCells, ThresholdsAreNotResorted)
{
    IfsCode code = twoMaps();
    auto cells = editorCells(code);
    cells[0][16] = "0.9";
    cells[1][16] = "0.2";
    EXPECT_FALSE(applyEditorCells(code, cells));
    EXPECT_EQ(code.thresholds[0], 0.9);
    EXPECT_EQ(code.thresholds[1], 0.2);
}

} // namespace
} // namespace qubex
