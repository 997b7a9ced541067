#include "core/viewrules.h"

#include <QLocale>

#include <cmath>

namespace velmora::viewrules {

void applyLevelRule(Levels &levels, int level)
{
    // Iterative form of the cascade: a "(None)" level resets every later level in turn.
    for (int i = level; i >= 0 && i < LevelCount; ++i) {
        LevelState &l = levels[std::size_t(i)];
        l.ascending = true;
        if (l.column == 0) {
            l.ordersEnabled = false;
            if (i + 1 < LevelCount) {
                levels[std::size_t(i + 1)].column = 0;
                levels[std::size_t(i + 1)].listEnabled = false;
                continue;
            }
        } else {
            l.ordersEnabled = true;
            if (i + 1 < LevelCount)
                levels[std::size_t(i + 1)].listEnabled = true;
        }
        break;
    }
}

Levels levelsFromKeys(const std::vector<ViewKey> &keys)
{
    Levels levels{};
    applyLevelRule(levels, 0);
    for (std::size_t k = 0; k < keys.size() && k < std::size_t(LevelCount); ++k) {
        if (keys[k].column <= 0)
            break;
        levels[k].column = keys[k].column;
        applyLevelRule(levels, int(k));
        levels[k].ascending = keys[k].order == 1;
    }
    return levels;
}

bool levelsChanged(const Levels &levels, const std::vector<ViewKey> &keys)
{
    for (std::size_t i = 0; i < std::size_t(LevelCount); ++i) {
        const LevelState &l = levels[i];
        if (l.column == 0) {
            if (keys.size() > i)
                return true;
            continue;
        }
        if (keys.size() < i + 1)
            return true;
        if (keys[i].column != l.column)
            return true;
        if (l.ascending ? keys[i].order != 1 : keys[i].order != -1)
            return true;
    }
    return false;
}

std::vector<ViewKey> keysFromLevels(const Levels &levels, const std::vector<ViewKey> &keys)
{
    std::vector<ViewKey> out;
    for (const LevelState &l : levels) {
        if (l.column != 0)
            out.push_back({l.column, l.ascending ? 1 : -1});
    }
    if (out.size() == std::size_t(LevelCount) && levels.back().column != 0) {
        for (std::size_t k = std::size_t(LevelCount); k < keys.size(); ++k)
            out.push_back(keys[k]);
    }
    return out;
}

QString totalsColumnCaption()
{
    return QStringLiteral("Drag Columns Here to Group");
}

bool isTotalsCaption(const QString &caption)
{
    return caption.compare(totalsColumnCaption(), Qt::CaseInsensitive) == 0;
}

bool isWithheldField(const QString &caption)
{
    static const QStringList withheld{QStringLiteral("ss1"), QStringLiteral("ss2"), QStringLiteral("recupdate"),
                                      QStringLiteral("emailinv")};
    return withheld.contains(caption, Qt::CaseInsensitive);
}

int insertionIndex(int tag, int shownCount)
{
    if (shownCount < tag)
        return shownCount;
    return tag < 1 ? 0 : tag - 1;
}

int currentAfterRemoval(int notedPosition, int remainingCount)
{
    if (remainingCount <= 0)
        return -1;
    if (notedPosition < 0)
        return 0;
    return notedPosition >= remainingCount ? remainingCount - 1 : notedPosition;
}

FieldButtons fieldButtons(int availableCurrent, int shownCurrent, int shownCount)
{
    FieldButtons b;
    b.add = availableCurrent >= 0;
    b.remove = shownCurrent >= 0;
    b.up = shownCurrent >= 1;
    b.down = shownCurrent < shownCount - 1;
    return b;
}

QString fieldsSummary(const QStringList &visibleCaptions)
{
    return visibleCaptions.join(QStringLiteral(", "));
}

QString keysSummary(const std::vector<SummaryKey> &keys, bool substituteTotals)
{
    QStringList items;
    for (const SummaryKey &k : keys) {
        const QString caption = substituteTotals && k.caption == totalsColumnCaption() ? QStringLiteral("Report Totals")
                                                                                         : k.caption;
        items << caption + (k.order == 1 ? QStringLiteral(" (ascending)") : QStringLiteral(" (descending)"));
    }
    return items.isEmpty() ? QStringLiteral("None") : items.join(QStringLiteral(", "));
}

QString formatSummary(int viewMode)
{
    return QStringLiteral("Fonts and other ") + (viewMode == 1 ? QStringLiteral("Card") : QStringLiteral("Table"))
           + QStringLiteral(" View settings");
}

long long roundHalfEven(double value)
{
    const double lower = std::floor(value);
    const double diff = value - lower;
    long long r = static_cast<long long>(lower);
    if (diff > 0.5 || (diff == 0.5 && (r % 2) != 0))
        ++r;
    return r;
}

QString fontCaption(double pointSize, const QString &family)
{
    return QString::number(roundHalfEven(pointSize)) + QStringLiteral(" pt. ") + family;
}

double twipsPerPixelForDpi(double logicalDpi)
{
    return logicalDpi > 0 ? 1440.0 / logicalDpi : 15.0;
}

QString pixelText(int twips, double twipsPerPixel)
{
    return QString::number(double(twips) / twipsPerPixel, 'g', 15);
}

std::optional<int> twipsFromPixelText(const QString &text, double twipsPerPixel)
{
    const QString t = text.trimmed();
    bool ok = false;
    double pixels = QLocale::c().toDouble(t, &ok);
    if (!ok)
        pixels = QLocale().toDouble(t, &ok);
    if (!ok || !std::isfinite(pixels) || pixels <= 0)
        return std::nullopt;
    const double twips = pixels * twipsPerPixel;
    if (twips > 2147483647.0)
        return std::nullopt;
    return int(roundHalfEven(twips));
}

int gridLineEntryFor(int gridLinesMode, int gridLineStyle)
{
    if (gridLinesMode == 0)
        return 0;
    for (std::size_t i = 1; i < gridLineEntries.size(); ++i) {
        if (gridLineEntries[i].tag == gridLineStyle)
            return int(i);
    }
    return -1;
}

GridLineSetting gridLinesFromEntry(int entry, GridLineSetting current)
{
    if (entry == 0)
        return {0, current.style};
    if (entry < 1 || entry >= int(gridLineEntries.size()))
        return current;
    return {current.mode == 2 ? 2 : -1, gridLineEntries[std::size_t(entry)].tag};
}

} // namespace velmora::viewrules
