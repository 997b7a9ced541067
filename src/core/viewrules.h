#pragma once

// Rules of the view dialogs (group by, sort, field chooser, formatting, summary) as plain
// functions, so they are tested without a window.

#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

namespace velmora::viewrules {

// ---- Group and sort levels ----------------------------------------------------------------

constexpr int LevelCount = 4;

// A group or sort key as the grid holds it: a 1-based column index and 1 (ascending) or -1.
struct ViewKey {
    int column = 0;
    int order = 1;
    friend bool operator==(const ViewKey &, const ViewKey &) = default;
};

// One level of the group or sort dialog as its widgets show it.
struct LevelState {
    int column = 0;              // tag of the selected entry; 0 = "(None)"
    bool ascending = true;       // "Ascending" selected, else "Descending"
    bool listEnabled = true;     // the level's drop-down
    bool ordersEnabled = true;   // its two order buttons
    friend bool operator==(const LevelState &, const LevelState &) = default;
};
using Levels = std::array<LevelState, LevelCount>;

// The level rule, run after the selection of level `level` changed: a level at "(None)" puts
// every later level at "(None)" and disables it, a level naming a column enables the next one;
// either way the level's order goes back to ascending. The chosen levels thus stay a gap-free run
// from level 0.
void applyLevelRule(Levels &levels, int level);

// The dialog's levels filled from the grid's keys: all at "(None)" with the rule run on level 0,
// then keys 1..4 selected in levels 0..3 (a key whose column is 0, one the dialog does not offer,
// ends the run). Keys past the fourth are not shown.
Levels levelsFromKeys(const std::vector<ViewKey> &keys);

// Whether the levels differ from the keys: a level at "(None)" where a key exists, a level naming
// a column where none exists, another column or another order. Keys past the fourth are not
// compared: the dialog cannot show them, and keysFromLevels keeps them.
bool levelsChanged(const Levels &levels, const std::vector<ViewKey> &keys);

// The keys to apply: one per chosen level, in level order. When all four levels are chosen, the
// grid's keys past the fourth follow unchanged (they were set through the group-by box and the
// dialog never showed them); a shorter run ends the grouping there, as the user sees it.
std::vector<ViewKey> keysFromLevels(const Levels &levels, const std::vector<ViewKey> &keys);

// ---- Field chooser ------------------------------------------------------------------------

// Caption of the hidden totals column, in every caption comparison.
QString totalsColumnCaption();   // "Drag Columns Here to Group"
// The field chooser leaves out the totals column (any letter case).
bool isTotalsCaption(const QString &caption);
// Hidden columns the field chooser never offers ("ss1", "ss2", "recupdate", "emailinv", any case).
bool isWithheldField(const QString &caption);

// Where an added field goes in the shown list: 0-based position tag-1, or the end when the list
// holds fewer than `tag` entries. The entry's new tag is the returned position plus one.
int insertionIndex(int tag, int shownCount);

// Position the current entry of a list takes after entries were taken out of it: the position
// noted before the last removal, or the last entry when that is now past the end; -1 when empty.
int currentAfterRemoval(int notedPosition, int remainingCount);

struct FieldButtons {
    bool add = false;
    bool remove = false;
    bool up = false;
    bool down = false;
    friend bool operator==(const FieldButtons &, const FieldButtons &) = default;
};
// Enabled buttons for the lists' current entries (-1 = none) and the shown count. "Move Down"
// is enabled with no current entry in a non-empty list, as the position -1 is below the last.
FieldButtons fieldButtons(int availableCurrent, int shownCurrent, int shownCount);

// ---- Summary ------------------------------------------------------------------------------

// Captions of the visible columns in column-index order, joined by ", " ("" when none).
QString fieldsSummary(const QStringList &visibleCaptions);

struct SummaryKey {
    QString caption;
    int order = 1;
};
// "city (ascending), zip (descending)", or "None". With substituteTotals the totals column
// (exact caption) reads "Report Totals".
QString keysSummary(const std::vector<SummaryKey> &keys, bool substituteTotals);

// "Fonts and other Table View settings" / "... Card View settings" (view mode 1).
QString formatSummary(int viewMode);

// ---- Formatting ---------------------------------------------------------------------------

// Rounds to the nearest whole number, halves to the even one (8.5 -> 8, 9.5 -> 10).
long long roundHalfEven(double value);

// "8 pt. Tahoma": the point size rounded halves to even, " pt. ", the family.
QString fontCaption(double pointSize, const QString &family);

// Twips per pixel of a screen with this logical DPI (1440 twips to the inch).
double twipsPerPixelForDpi(double logicalDpi);
// The card width as shown: pixels as a decimal text ("200", "200.666666666667").
QString pixelText(int twips, double twipsPerPixel);
// The typed card width in twips, rounded halves to even; nothing when the text is not a
// positive number (the width is then left as it was).
std::optional<int> twipsFromPixelText(const QString &text, double twipsPerPixel);

// Grid-line entries of the table dialog, in list order, with their tags.
struct GridLineEntry {
    const char *text;
    int tag;
};
constexpr std::array<GridLineEntry, 4> gridLineEntries{{
    {"No grid lines", -1}, {"Small Dots", 2}, {"Dashes", 1}, {"Solid", 0}}};

// The entry shown for the grid's lines: 0 when the mode is 0, else the entry among 1..3 whose tag
// equals the style; -1 when none matches.
int gridLineEntryFor(int gridLinesMode, int gridLineStyle);

struct GridLineSetting {
    int mode = 0;
    int style = 0;
    friend bool operator==(const GridLineSetting &, const GridLineSetting &) = default;
};
// What OK writes for the selected entry (-1 = none selected): entry 0 sets mode 0 and keeps the
// style; a style entry keeps a mode of 2 and otherwise sets -1, with the entry's tag as style;
// no selection keeps both, since the user chose nothing the grid could take.
GridLineSetting gridLinesFromEntry(int entry, GridLineSetting current);

} // namespace velmora::viewrules
