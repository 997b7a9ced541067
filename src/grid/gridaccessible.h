#pragma once

namespace velmora::grid {

// Registers (once) the accessibility factory that gives the grid's table view a table interface:
// column headers, rows and cells (group rows and footers too) with their texts and selection.
void installGridAccessibility();

} // namespace velmora::grid
