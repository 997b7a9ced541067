// The view dialogs read a typed card width and take group and sort keys from the grid (set there by
// layouts, the group-by box and the host): whatever they are, the width shown reads back as the
// same width, the levels stay a gap-free run, and "changed" is said exactly when OK would change
// the keys.
//
// Input: a locale byte, a screen DPI byte, the typed width text, then key and edit bytes.

#include "core/viewrules.h"
#include "fuzzing.h"

#include <QLocale>

using namespace velmora;
using namespace velmora::viewrules;

namespace {

void checkLevels(const Levels &levels)
{
    for (int i = 0; i < LevelCount; ++i) {
        const LevelState &l = levels[std::size_t(i)];
        const bool previousChosen = i == 0 || levels[std::size_t(i - 1)].column != 0;
        FUZZ_CHECK(l.listEnabled == previousChosen);
        FUZZ_CHECK(previousChosen || l.column == 0);
        FUZZ_CHECK(l.ordersEnabled == (l.column != 0));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QLocale locales[] = {QLocale::c(), QLocale(QLocale::German, QLocale::Germany),
                                      QLocale(QLocale::French, QLocale::France),
                                      QLocale(QLocale::English, QLocale::UnitedStates)};
    fuzz::Input in(data, size);
    QLocale::setDefault(locales[in.pick(0, 3)]);
    const double twipsPerPixel = twipsPerPixelForDpi(in.pick(48, 300));
    const QString typed = in.text();

    if (const std::optional<int> twips = twipsFromPixelText(typed, twipsPerPixel)) {
        FUZZ_CHECK_SAY(*twips >= 0, typed);
        // OK without touching the field keeps the width.
        const QString shown = pixelText(*twips, twipsPerPixel);
        if (*twips > 0)
            FUZZ_CHECK_SAY(twipsFromPixelText(shown, twipsPerPixel) == twips,
                           typed + QStringLiteral(" -> ") + QString::number(*twips) + QStringLiteral(" shown ") + shown);
    }

    std::vector<ViewKey> keys(std::size_t(in.pick(0, 6)));
    for (ViewKey &k : keys) {
        k.column = in.pick(-1, 8);
        k.order = in.pick(-2, 2);
    }
    Levels levels = levelsFromKeys(keys);
    checkLevels(levels);
    FUZZ_CHECK(levelsChanged(levels, keys) == (keysFromLevels(levels, keys) != keys));

    // The user picks columns in enabled lists and flips orders of chosen levels.
    while (!in.atEnd()) {
        const int level = in.pick(0, LevelCount - 1);
        const int choice = in.pick(-1, 6);
        LevelState &l = levels[std::size_t(level)];
        if (choice < 0) {
            if (l.ordersEnabled)
                l.ascending = !l.ascending;
        } else if (l.listEnabled) {
            l.column = choice;
            applyLevelRule(levels, level);
        }
        checkLevels(levels);
        FUZZ_CHECK(levelsChanged(levels, keys) == (keysFromLevels(levels, keys) != keys));
    }
    return 0;
}
