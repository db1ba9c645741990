#pragma once
// Re-alignment of rows after the difference engine has placed the gaps: in
// fuzzy mode a differing line may move a little way down to face a more
// similar partner; in every mode the last text lines of the two panes are
// paired when they are similar. Both passes insert gap rows and remove rows
// that are gaps on both sides.

namespace tandex::engine {

// The fuzzy pass over all rows.
void RealignRows();
// Rows to advance past row r.
int RealignRow(int r, int side, int otherSide);
int MoveToBetterPartner(int side, int otherSide, int r, int first);
// Removes the rows first..last that are gaps in both panes; their number.
int RemoveDoubleGapRows(int first, int last);
// The end-of-file pass.
void AlignLastLines();
void PairEndLines(int side, int from, int to);

}  // namespace tandex::engine
