#include "generator.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <stdexcept>

namespace sampledb
{

namespace
{

enum Salt : std::uint64_t {
    SaltInventory = 0x1111,
    SaltDeleted = 0x2222,
    SaltPerson = 0x3333,
    SaltCustomer = 0x4444,
    SaltService = 0x5555,
    SaltProjected = 0x6666,
};

std::uint64_t mix(std::uint64_t z)
{
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

// splitmix64, seeded per row so that a row never depends on how many rows came before it.
class Rng
{
public:
    Rng(std::uint64_t seed, std::uint64_t salt, std::int64_t index)
        : m_state(mix(seed * 0x9e3779b97f4a7c15ULL ^ mix(salt + 0x632be59bd9b4e019ULL * (index + 1))))
    {
    }
    std::uint64_t next()
    {
        m_state += 0x9e3779b97f4a7c15ULL;
        return mix(m_state);
    }
    // Uniform in [lo, hi].
    std::int64_t range(std::int64_t lo, std::int64_t hi)
    {
        return lo + static_cast<std::int64_t>(next() % static_cast<std::uint64_t>(hi - lo + 1));
    }
    bool chance(int percent) { return range(0, 99) < percent; }
    template <typename T, std::size_t N> const T &pick(const std::array<T, N> &items) { return items[next() % N]; }
    // Index chosen with the given relative weights.
    template <std::size_t N> std::size_t weighted(const std::array<int, N> &weights)
    {
        int total = 0;
        for (int w : weights)
            total += w;
        auto r = static_cast<int>(range(0, total - 1));
        for (std::size_t i = 0; i < N; ++i) {
            if (r < weights[i])
                return i;
            r -= weights[i];
        }
        return N - 1;
    }

private:
    std::uint64_t m_state;
};

template <typename... Args> std::string format(const char *fmt, Args... args)
{
    char buf[256];
    std::snprintf(buf, sizeof buf, fmt, args...);
    return buf;
}

// Cuts text to at most `limit` characters without splitting a UTF-8 sequence.
std::string clip(std::string text, std::size_t limit)
{
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (chars == limit) {
                text.resize(i);
                break;
            }
            ++chars;
        }
    }
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

struct Category {
    const char *name;
    std::array<const char *, 6> brands;
    std::array<const char *, 6> products;
    int minCost;
    int maxCost;
    double minWeight;
    double maxWeight;
};

const std::array<Category, 12> kCategories{{
    {"TV",
     {"Samsung", "LG", "Sony", "Vizio", "TCL", "Hisense"},
     {"LED TV", "QLED smart TV", "OLED TV", "4K UHD smart TV", "Roku TV", "Google TV"},
     180,
     2400,
     6,
     38},
    {"AUDIO",
     {"Bose", "Yamaha", "Denon", "Sonos", "JBL", "Onkyo"},
     {"soundbar", "7.2 AV receiver", "bookshelf speakers", "turntable", "home theater system", "subwoofer 12\""},
     80,
     1500,
     1.5,
     25},
    {"APPLIANCE",
     {"Whirlpool", "Bosch", "Frigidaire", "GE", "Maytag", "Miele"},
     {"refrigerator 25 cu ft", "front load washer", "electric dryer", "gas range", "dishwasher", "chest freezer"},
     150,
     2800,
     30,
     140},
    {"COMPUTER",
     {"Dell", "Lenovo", "HP", "Apple", "Asus", "Acer"},
     {"laptop 15.6\"", "laptop 14\"", "desktop tower", "tablet 10.9\"", "all-in-one 24\"", "Chromebook 11.6\""},
     250,
     2500,
     0.5,
     12},
    {"FURNITURE",
     {"Ashley", "La-Z-Boy", "Müller Möbel", "Señor Sofá", "Broyhill", "Crème Home"},
     {"sofa", "sectional 3 pc", "power recliner", "dinette set 5 pc", "bedroom set 6 pc", "coffee table"},
     200,
     3000,
     15,
     160},
    {"BEDDING",
     {"Sealy", "Serta", "Tempur-Pedic", "Simmons", "Beautyrest", "Sleep Number"},
     {"queen mattress set", "king mattress set", "twin mattress", "adjustable base", "full mattress set",
      "bunk bed with mattresses"},
     300,
     2500,
     20,
     90},
    {"PHONE",
     {"Apple", "Samsung", "Motorola", "Google", "OnePlus", "Nokia"},
     {"smartphone 128GB", "smartphone 256GB", "smartphone 64GB", "flip phone", "smartwatch", "tablet 8\""},
     150,
     1200,
     0.15,
     0.6},
    {"GAMING",
     {"Sony", "Microsoft", "Nintendo", "Valve", "Razer", "Logitech"},
     {"console", "console bundle", "handheld console", "VR headset", "gaming chair", "racing wheel"},
     200,
     650,
     0.4,
     22},
    {"CAMERA",
     {"Canon", "Nikon", "Fujifilm", "Sony", "Panasonic", "GoPro"},
     {"mirrorless kit", "DSLR kit", "action camera", "camcorder", "instant camera", "lens 70-200mm"},
     150,
     2000,
     0.2,
     2.5},
    {"JEWELRY",
     {"Kay", "Zales", "Pandora", "Fossil", "Citizen", "Seiko"},
     {"14k gold chain 20\"", "diamond stud earrings", "tennis bracelet", "men's watch", "engagement ring",
      "pendant necklace"},
     100,
     3000,
     0.01,
     0.3},
    {"TOOLS",
     {"DeWalt", "Makita", "Milwaukee", "Bosch", "Ryobi", "Husqvarna"},
     {"cordless drill kit", "circular saw", "riding mower", "pressure washer", "generator 7500W", "chainsaw 18\""},
     80,
     2200,
     1.5,
     220},
    {"MUSICAL",
     {"Yamaha", "Fender", "Gibson", "Roland", "Casio", "Kawai"},
     {"digital piano", "electric guitar", "acoustic guitar", "drum kit", "keyboard 61 key", "bass amp"},
     150,
     3000,
     3,
     65},
}};
const std::array<int, 12> kCategoryWeights{18, 10, 16, 12, 16, 8, 6, 4, 2, 3, 3, 2};

const std::array<int, 12> kStoreWeights{20, 14, 12, 10, 9, 8, 7, 6, 5, 4, 3, 2};

const std::array<const char *, 8> kDetails{"with remote and power cord",        "includes wall mount kit",
                                           "minor scratch on left side",        "open box, all accessories present",
                                           "customer return – tested OK",       "délivré avec manuel (FR/EN/ES)",
                                           "färbig: graphite; Fußteil ersetzt", "日本製 – imported unit, 110 V"};

const std::array<const char *, 10> kLongNotes{
    "Repossessed unit: cleaned, inspected and re-tagged; replace the missing feet before it goes back on the floor.",
    "Previous renter reported intermittent power; bench tested 48 hours without a fault, keep the ticket with the "
    "unit.",
    "Display model from the front window – slight fading on the top panel, priced accordingly, no further discount.",
    "Transferred from the warehouse after inventory count; serial verified against the vendor invoice and the label.",
    "Extended warranty until the end of next year; keep the original box for returns to the vendor's service centre.",
    "Returned by Mr. Weiß within the seven-day window; restocking fee waived by the manager, see the note on file.",
    "Señora Peña asked us to hold it until Friday; deposit taken at the counter and noted on her account card.",
    "Unit came back with the accessory pack opened; replace the HDMI cable and the batteries before the next rental.",
    "Zubehör vollständig, Gerät geprüft; the German manual is in the drawer under the register with the others.",
    "店頭展示品 – floor model, small dent at the back; approved for rent-to-own with the reduced weekly rate."};

const std::array<const char *, 6> kLocations{"Floor",       "Back room",    "Warehouse A",
                                             "Warehouse B", "Repair bench", "Lager Süd"};

const std::array<const char *, 8> kVendors{"Consolidated Electronics Supply", "Midwest Appliance Dist.",
                                           "Atlantic Furniture Wholesale",    "Pacific Rim Imports",
                                           "Großhandel Weiß & Söhne",         "Distribuidora Peñalver",
                                           "Northern Sleep Products",         "Summit Tool & Equipment"};

// Names come in groups so that first name, family name, e-mail and order stay coherent.
struct NameGroup {
    std::array<const char *, 8> given;
    std::array<const char *, 8> givenAscii;
    std::array<const char *, 8> family;
    std::array<const char *, 8> familyAscii;
    bool familyFirst; // written "Family Given" with a space, not "Family, Given"
};

const std::array<NameGroup, 7> kNameGroups{{
    {{"James", "Mary", "Robert", "Patricia", "Michael", "Linda", "David", "Jennifer"},
     {"james", "mary", "robert", "patricia", "michael", "linda", "david", "jennifer"},
     {"Smith", "Johnson", "Williams", "Brown", "Jones", "Miller", "Davis", "O'Connor"},
     {"smith", "johnson", "williams", "brown", "jones", "miller", "davis", "oconnor"},
     false},
    {{"José", "María", "Begoña", "Ramón", "Lucía", "Iñigo", "Sofía", "Andrés"},
     {"jose", "maria", "begona", "ramon", "lucia", "inigo", "sofia", "andres"},
     {"Núñez", "Peña", "Ibáñez", "García", "Muñoz", "Hernández", "Castañeda", "López"},
     {"nunez", "pena", "ibanez", "garcia", "munoz", "hernandez", "castaneda", "lopez"},
     false},
    {{"Jürgen", "Günther", "Käthe", "Jörg", "Dörte", "Uwe", "Birgit", "Sören"},
     {"juergen", "guenther", "kaethe", "joerg", "doerte", "uwe", "birgit", "soeren"},
     {"Müller", "Schäfer", "Weiß", "Groß", "Köhler", "Strauß", "Bäcker", "Schröder"},
     {"mueller", "schaefer", "weiss", "gross", "koehler", "strauss", "baecker", "schroeder"},
     false},
    {{"François", "Hélène", "Zoé", "Jérôme", "Cécile", "Noël", "Anaïs", "Benoît"},
     {"francois", "helene", "zoe", "jerome", "cecile", "noel", "anais", "benoit"},
     {"Lefèvre", "Dubois", "Bérubé", "Côté", "Gagné", "Lévesque", "Thériault", "Bélanger"},
     {"lefevre", "dubois", "berube", "cote", "gagne", "levesque", "theriault", "belanger"},
     false},
    {{"太郎", "花子", "健", "美咲", "翔太", "陽菜", "大輔", "由美"},
     {"taro", "hanako", "ken", "misaki", "shota", "hina", "daisuke", "yumi"},
     {"田中", "佐藤", "鈴木", "高橋", "渡辺", "伊藤", "山本", "中村"},
     {"tanaka", "sato", "suzuki", "takahashi", "watanabe", "ito", "yamamoto", "nakamura"},
     true},
    {{"伟", "芳", "娜", "敏", "静", "磊", "洋", "勇"},
     {"wei", "fang", "na", "min", "jing", "lei", "yang", "yong"},
     {"王", "李", "张", "刘", "陈", "杨", "黄", "赵"},
     {"wang", "li", "zhang", "liu", "chen", "yang", "huang", "zhao"},
     true},
    {{"민준", "서연", "지훈", "수빈", "예준", "하은", "도윤", "지우"},
     {"minjun", "seoyeon", "jihoon", "subin", "yejun", "haeun", "doyun", "jiwoo"},
     {"김", "이", "박", "최", "정", "강", "조", "윤"},
     {"kim", "lee", "park", "choi", "jung", "kang", "cho", "yoon"},
     true},
}};
const std::array<int, 7> kNameGroupWeights{60, 15, 8, 7, 4, 3, 3};

struct City {
    const char *name;
    const char *state;
    int zip;
    int area;
};
const std::array<City, 12> kCities{{
    {"Springfield", "IL", 62701, 217},
    {"Española", "NM", 87532, 505},
    {"Cañon City", "CO", 81212, 719},
    {"Coeur d'Alene", "ID", 83814, 208},
    {"Columbus", "OH", 43215, 614},
    {"San José", "CA", 95112, 408},
    {"Fort Wayne", "IN", 46802, 260},
    {"Knoxville", "TN", 37902, 865},
    {"Boise", "ID", 83702, 208},
    {"La Cañada Flintridge", "CA", 91011, 818},
    {"Toledo", "OH", 43604, 419},
    {"Mobile", "AL", 36602, 251},
}};
const std::array<const char *, 10> kStreets{
    "Maple", "Oak", "Peña", "Main", "Lakeview", "Müller", "Cedar", "Washington", "Rue Ste-Thérèse", "Hillcrest"};
const std::array<const char *, 6> kStreetKinds{"St", "Ave", "Blvd", "Rd", "Ct", "Dr"};
const std::array<const char *, 3> kMailDomains{"example.com", "example.net", "mail.example.org"};
const std::array<const char *, 8> kCustomerComments{
    "Prefers calls after 5 pm",
    "Co-signer on file; verify ID at pickup",
    "Paid early six times in a row – offer the loyalty discount on the next agreement",
    "Do not call at work",
    "Habla español – prefiere que le llamen por la tarde",
    "Moved from the Española store; old account closed and the balance carried over to this one",
    "Returned check in March; cash or card only until further notice from the store manager",
    "Spricht Deutsch; Rückruf bitte vormittags"};

const std::array<const char *, 8> kTechs{"Ray Alvarez", "Tom Nguyen", "Björn Lindqvist", "Ana Muñoz",
                                         "Kevin Park",  "李 明",      "Dwayne Carter",   "Zoë Fontaine"};
const std::array<const char *, 8> kProblems{
    "No power",
    "Shuts off after about an hour of use",
    "Physical damage – customer damage, quote given",
    "Will not power on after a storm; surge damage suspected",
    "Loud noise during operation",
    "Missing parts from delivery; customer wants a pickup",
    "Intermittent fault, could not reproduce on the bench; keep for 48 h burn-in and call the customer back",
    "Réparation sous garantie – unit swapped for a loaner until it is back"};

std::string phone(Rng &rng, int area)
{
    return format("(%03d) %03d-%04d", area, static_cast<int>(rng.range(200, 989)),
                  static_cast<int>(rng.range(0, 9999)));
}

Money roundMoney(double dollars)
{
    return Money{static_cast<std::int64_t>(dollars * 100.0 + (dollars >= 0 ? 0.5 : -0.5))};
}

struct Person {
    std::string name;
    std::string given;  // ASCII, for the mail address
    std::string family; // ASCII
    int store;
    std::string account;
};

Person makePerson(std::uint64_t seed, std::int64_t index)
{
    Rng rng(seed, SaltPerson, index);
    const NameGroup &group = kNameGroups[rng.weighted(kNameGroupWeights)];
    std::size_t g = rng.next() % 8, f = rng.next() % 8;
    Person p;
    p.name = group.familyFirst ? std::string(group.family[f]) + " " + group.given[g]
                               : std::string(group.family[f]) + ", " + group.given[g];
    p.given = group.givenAscii[g];
    p.family = group.familyAscii[f];
    p.store = static_cast<int>(rng.weighted(kStoreWeights)) + 1;
    p.account = format("%02d-%05lld", p.store, static_cast<long long>(index + 1));
    return p;
}

constexpr std::uint32_t kDay = 24 * 3600;

} // namespace

std::size_t utf8Length(std::string_view text)
{
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string Column::sqlType() const
{
    switch (type) {
    case ColumnType::SmallInt:
        return "SMALLINT";
    case ColumnType::Integer:
        return "INTEGER";
    case ColumnType::BigInt:
        return "BIGINT";
    case ColumnType::Money:
        return "NUMERIC(15,2)";
    case ColumnType::Double:
        return "DOUBLE PRECISION";
    case ColumnType::Date:
        return "DATE";
    case ColumnType::Timestamp:
        return "TIMESTAMP";
    case ColumnType::VarChar:
        return "VARCHAR(" + std::to_string(length) + ")";
    }
    return {};
}

int Table::indexOf(std::string_view column) const
{
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (columns[i].name == column)
            return static_cast<int>(i);
    return -1;
}

std::string Table::createStatement(bool withKey) const
{
    std::string sql = "CREATE TABLE " + name + " (";
    std::string key;
    for (const Column &c : columns) {
        if (&c != &columns.front())
            sql += ", ";
        sql += c.name + " " + c.sqlType();
        if (c.primaryKey) {
            sql += " NOT NULL";
            key = c.name;
        }
    }
    if (withKey && !key.empty())
        sql += ", CONSTRAINT pk_" + name + " PRIMARY KEY (" + key + ")";
    return sql + ")";
}

std::string Table::insertStatement() const
{
    std::string sql = "INSERT INTO " + name + " (", params;
    for (const Column &c : columns) {
        const bool first = &c == &columns.front();
        sql += (first ? "" : ", ") + c.name;
        params += first ? "?" : ", ?";
    }
    return sql + ") VALUES (" + params + ")";
}

Sizes Sizes::forInventory(std::int64_t rows)
{
    auto clamp = [](std::int64_t v, std::int64_t lo, std::int64_t hi) { return std::max(lo, std::min(v, hi)); };
    return {rows, clamp(rows / 25, 10, 40000), clamp(rows / 8, 50, 25000), clamp(rows / 5, 20, 100000),
            clamp(rows / 4, 20, 100000)};
}

int Generator::daysFromCivil(int y, int m, int d)
{
    // Howard Hinnant's days_from_civil, shifted so that 1858-11-17 is day 0.
    auto civil = [](int y, int m, int d) {
        y -= m <= 2;
        const int era = (y >= 0 ? y : y - 399) / 400;
        const int yoe = y - era * 400;
        const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
        const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        return era * 146097 + doe - 719468;
    };
    return civil(y, m, d) - civil(1858, 11, 17);
}

namespace
{

std::vector<Column> inventoryColumns()
{
    using T = ColumnType;
    return {
        {"id", T::Integer, 0, true},
        {"model", T::VarChar, 30},
        {"serial", T::VarChar, 30},
        {"stock", T::VarChar, 20},
        {"description", T::VarChar, 200},
        {"category", T::VarChar, 30},
        {"store", T::Integer},
        {"cost", T::Money},
        {"balance", T::Money},
        {"rbvbook", T::Money},
        {"rentalincome", T::Money},
        {"otherincome", T::Money},
        {"status", T::VarChar, 12},
        {"svcstatus", T::VarChar, 12},
        {"daterec", T::Date},
        {"firstsaledate", T::Date},
        {"brand", T::VarChar, 30},
        {"vendor", T::VarChar, 40},
        {"location", T::VarChar, 20},
        {"customer", T::VarChar, 12},
        {"rentrate", T::Money},
        {"term", T::SmallInt},
        {"payments", T::Integer},
        {"lastpaid", T::Date},
        {"weight", T::Double},
        {"upc", T::BigInt},
        {"lastupdate", T::Timestamp},
    };
}

} // namespace

Generator::Generator(std::uint64_t seed, const Sizes &sizes) : m_seed(seed), m_sizes(sizes)
{
    using T = ColumnType;
    m_tables.push_back({"inventory", inventoryColumns()});
    Table deleted{"delinventory", inventoryColumns()};
    deleted.columns.push_back({"deleted", T::Timestamp});
    m_tables.push_back(deleted);
    m_tables.push_back(
        {"customers",
         {
             {"account", T::VarChar, 12, true}, {"name", T::VarChar, 60},   {"altname", T::VarChar, 60},
             {"address", T::VarChar, 60},       {"apt", T::VarChar, 10},    {"city", T::VarChar, 30},
             {"state", T::VarChar, 2},          {"zip", T::VarChar, 10},    {"hmphone", T::VarChar, 14},
             {"wkphone", T::VarChar, 14},       {"workext", T::VarChar, 6}, {"mess", T::VarChar, 14},
             {"cell", T::VarChar, 14},          {"phone5", T::VarChar, 14}, {"comments", T::VarChar, 250},
             {"bbbalance", T::Money},           {"deposit", T::Money},      {"email", T::VarChar, 80},
             {"ss1", T::VarChar, 11},           {"ss2", T::VarChar, 11},    {"recupdate", T::Timestamp},
             {"emailinv", T::SmallInt},
         }});
    m_tables.push_back({"service",
                        {
                            {"id", T::Integer, 0, true},
                            {"ticket", T::VarChar, 12},
                            {"store", T::Integer},
                            {"customer", T::VarChar, 12},
                            {"name", T::VarChar, 60},
                            {"model", T::VarChar, 30},
                            {"serial", T::VarChar, 30},
                            {"category", T::VarChar, 30},
                            {"problem", T::VarChar, 200},
                            {"svccharge", T::Money},
                            {"partscost", T::Money},
                            {"datein", T::Date},
                            {"dateout", T::Date},
                            {"status", T::VarChar, 12},
                            {"tech", T::VarChar, 30},
                            {"warranty", T::SmallInt},
                        }});
    m_tables.push_back({"projrevenue",
                        {
                            {"id", T::Integer, 0, true},
                            {"agreement", T::VarChar, 12},
                            {"account", T::VarChar, 12},
                            {"name", T::VarChar, 60},
                            {"store", T::Integer},
                            {"stock", T::VarChar, 20},
                            {"model", T::VarChar, 30},
                            {"frequency", T::VarChar, 10},
                            {"projpmt", T::Money},
                            {"pmtpaid", T::Money},
                            {"duedate", T::Date},
                            {"paiddate", T::Date},
                        }});
}

std::int64_t Generator::rowCount(const Table &table) const
{
    if (table.name == "inventory")
        return m_sizes.inventory;
    if (table.name == "delinventory")
        return m_sizes.deletedInventory;
    if (table.name == "customers")
        return m_sizes.customers;
    if (table.name == "service")
        return m_sizes.service;
    if (table.name == "projrevenue")
        return m_sizes.projectedRevenue;
    throw std::logic_error("unknown table " + table.name);
}

void Generator::fill(const Table &table, std::int64_t index, Row &row) const
{
    row.assign(table.columns.size(), std::monostate{});
    if (table.name == "inventory")
        inventoryRow(index, row, false);
    else if (table.name == "delinventory")
        inventoryRow(index, row, true);
    else if (table.name == "customers")
        customerRow(index, row);
    else if (table.name == "service")
        serviceRow(index, row);
    else if (table.name == "projrevenue")
        projectedRow(index, row);
    else
        throw std::logic_error("unknown table " + table.name);
}

namespace
{

// A model code is a function of category, brand and a small model number, so the same model
// recurs on many rows (what a real store holds: several units of each model).
std::string modelCode(const Category &cat, std::size_t brand, int number)
{
    const std::uint64_t h = mix(std::uint64_t(brand) * 131 + std::uint64_t(number) * 7919 +
                                std::uint64_t(cat.name[0]) * 31 + std::uint64_t(cat.name[1]));
    const char *b = cat.brands[brand];
    std::string code;
    for (const char *p = b; *p && code.size() < 2; ++p)
        if ((*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z'))
            code += static_cast<char>(*p & ~0x20);
    code += std::to_string(10 + h % 90);
    code += static_cast<char>('A' + (h >> 8) % 26);
    code += static_cast<char>('A' + (h >> 16) % 26);
    code += std::to_string(1000 + (h >> 24) % 9000);
    if ((h >> 40) % 3 == 0)
        code += "-" + std::to_string((h >> 44) % 10);
    return code;
}

} // namespace

void Generator::inventoryRow(std::int64_t index, Row &row, bool deleted) const
{
    Rng rng(m_seed, deleted ? SaltDeleted : SaltInventory, index);
    const Category &cat = kCategories[rng.weighted(kCategoryWeights)];
    const std::size_t brand = rng.next() % cat.brands.size();
    const int modelNumber = static_cast<int>(rng.range(0, 11));
    const std::size_t product = (static_cast<std::size_t>(modelNumber) + brand) % cat.products.size();
    const int store = static_cast<int>(rng.weighted(kStoreWeights)) + 1;

    row[0] = std::int64_t(index + 1);
    row[1] = modelCode(cat, brand, modelNumber);
    {
        static constexpr char kAlnum[] = "0123456789ABCDEFGHJKLMNPRSTUVWXYZ";
        std::uint64_t h = mix(m_seed ^ mix(std::uint64_t(index) + (deleted ? 0x5151 : 0)));
        std::string serial;
        serial += static_cast<char>(cat.name[0]);
        for (int i = 0; i < 11; ++i, h /= 33)
            serial += kAlnum[h % 33];
        row[2] = serial;
    }
    row[3] = format(deleted ? "D%02d-%07lld" : "S%02d-%07lld", store, static_cast<long long>(index + 1));

    std::string description = std::string(cat.brands[brand]) + " ";
    if (std::string_view(cat.name) == "TV")
        description += std::to_string(32 + 5 * ((modelNumber * 7) % 11)) + "\" ";
    description += cat.products[product];
    if (rng.chance(45))
        description += std::string(", ") + rng.pick(kDetails);
    if (rng.chance(18))
        description += std::string(". ") + rng.pick(kLongNotes);
    row[4] = clip(description, 200);
    row[5] = std::string(cat.name);
    row[6] = std::int64_t(store);

    // Same model, same list cost, give or take the vendor's price changes.
    const double listCost = cat.minCost + static_cast<double>(mix(std::uint64_t(modelNumber) * 977 + brand) % 1000) /
                                              1000.0 * (cat.maxCost - cat.minCost);
    const double cost = listCost * (0.92 + static_cast<double>(rng.range(0, 16)) / 100.0);
    row[7] = roundMoney(cost);

    static const std::array<const char *, 6> kStatus{"STOCK", "RENTED", "SOLD", "LOANER", "REPO", "TRANSFER"};
    const std::string status = kStatus[rng.weighted(std::array<int, 6>{50, 30, 8, 4, 5, 3})];
    static const std::array<const char *, 5> kSvc{"NONE", "OK", "SERVICE", "PARTS", nullptr};
    const char *svc = kSvc[rng.weighted(std::array<int, 5>{60, 15, 10, 5, 10})];
    row[12] = status;
    if (svc)
        row[13] = std::string(svc);

    const int received = daysFromCivil(2016, 1, 1) + static_cast<int>(rng.range(0, 3280));
    row[14] = Date{received};
    const int ageDays = daysFromCivil(2025, 1, 1) - received;
    const bool everRented = status != "STOCK" && status != "TRANSFER" ? true : rng.chance(30);
    int firstSale = 0;
    if (everRented) {
        firstSale = received + static_cast<int>(rng.range(3, std::min(240, std::max(3, ageDays))));
        row[15] = Date{firstSale};
    }

    // Rental book value loses value over 36 months in service.
    const double monthsOut = everRented ? (daysFromCivil(2025, 1, 1) - firstSale) / 30.4 : 0.0;
    const double rbv = std::max(0.0, cost * (1.0 - std::min(monthsOut, 36.0) / 36.0));
    row[9] = roundMoney(rbv);
    const double weeklyRate = std::max(4.99, cost / 45.0);
    row[20] = roundMoney(weeklyRate);
    const int term = std::array<int, 3>{52, 78, 104}[rng.next() % 3];
    int payments = 0;
    if (everRented) {
        payments = static_cast<int>(rng.range(1, std::min<std::int64_t>(term, std::max(1, (ageDays - 3) / 7))));
        row[21] = std::int64_t(term);
        row[22] = std::int64_t(payments);
        row[23] = Date{firstSale + 7 * payments};
    }
    const double income = payments * weeklyRate;
    row[10] = roundMoney(income);
    if (status == "SOLD")
        row[8] = Money{0};
    else if (status == "RENTED" || status == "REPO")
        row[8] = roundMoney(std::max(0.0, weeklyRate * term - income));
    else
        row[8] = roundMoney(rbv);
    if (!rng.chance(20))
        row[11] =
            rng.chance(70) ? Money{0} : roundMoney(static_cast<double>(rng.range(5, 150)) + 0.5 * rng.range(0, 1));

    row[16] = std::string(cat.brands[brand]);
    row[17] = std::string(rng.pick(kVendors));
    row[18] = std::string(rng.pick(kLocations));
    if ((status == "RENTED" || status == "SOLD" || status == "REPO") && m_sizes.customers > 0)
        row[19] = makePerson(m_seed, rng.range(0, m_sizes.customers - 1)).account;
    if (!rng.chance(5))
        row[24] = static_cast<double>(rng.range(static_cast<std::int64_t>(cat.minWeight * 10),
                                                static_cast<std::int64_t>(cat.maxWeight * 10))) /
                  10.0;
    row[25] = std::int64_t(100000000000LL + static_cast<std::int64_t>(mix(std::uint64_t(modelNumber) * 4099 +
                                                                          brand * 37 + std::uint64_t(cat.name[0])) %
                                                                      899999999999ULL));
    const int updated = std::max(received, daysFromCivil(2025, 1, 1) - static_cast<int>(rng.range(0, 400)));
    row[26] = Timestamp{updated, static_cast<std::uint32_t>(rng.range(8 * 3600, 20 * 3600))};
    if (deleted)
        row[27] =
            Timestamp{updated + static_cast<int>(rng.range(1, 60)), static_cast<std::uint32_t>(rng.range(0, kDay - 1))};
}

void Generator::customerRow(std::int64_t index, Row &row) const
{
    const Person p = makePerson(m_seed, index);
    Rng rng(m_seed, SaltCustomer, index);
    const City &city = rng.pick(kCities);
    row[0] = p.account;
    row[1] = p.name;
    if (rng.chance(30))
        row[2] = makePerson(m_seed ^ 0xA17, index).name;
    row[3] = format("%d %s %s", static_cast<int>(rng.range(10, 9899)), rng.pick(kStreets), rng.pick(kStreetKinds));
    if (rng.chance(20)) {
        static const std::array<const char *, 3> kApt{"Apt %d%c", "#%d%c", "Unit %d%c"};
        row[4] = format(rng.pick(kApt), static_cast<int>(rng.range(1, 40)), static_cast<char>('A' + rng.range(0, 5)));
    }
    row[5] = std::string(city.name);
    row[6] = std::string(city.state);
    row[7] = rng.chance(25) ? format("%05d-%04d", city.zip + static_cast<int>(rng.range(0, 8)),
                                     static_cast<int>(rng.range(1, 9999)))
                            : format("%05d", city.zip + static_cast<int>(rng.range(0, 8)));
    if (rng.chance(80))
        row[8] = phone(rng, city.area);
    if (rng.chance(40)) {
        row[9] = phone(rng, city.area);
        if (rng.chance(25))
            row[10] = std::to_string(rng.range(100, 9999));
    }
    if (rng.chance(15))
        row[11] = phone(rng, city.area);
    if (rng.chance(70))
        row[12] = phone(rng, city.area);
    if (rng.chance(5))
        row[13] = phone(rng, city.area);
    if (rng.chance(30))
        row[14] = std::string(rng.pick(kCustomerComments));
    row[15] = rng.chance(40) ? Money{0} : roundMoney(static_cast<double>(rng.range(500, 300000)) / 100.0);
    row[16] = Money{std::array<std::int64_t, 4>{0, 2500, 5000, 10000}[rng.next() % 4]};
    if (rng.chance(70))
        row[17] = p.given + "." + p.family + std::to_string(rng.range(1, 99)) + "@" + rng.pick(kMailDomains);
    // Area numbers 900-999 are never issued, so these can never be someone's real number.
    row[18] = format("%03d-%02d-%04d", static_cast<int>(rng.range(900, 999)), static_cast<int>(rng.range(10, 99)),
                     static_cast<int>(rng.range(1, 9999)));
    if (!std::holds_alternative<std::monostate>(row[2]))
        row[19] = format("%03d-%02d-%04d", static_cast<int>(rng.range(900, 999)), static_cast<int>(rng.range(10, 99)),
                         static_cast<int>(rng.range(1, 9999)));
    row[20] = Timestamp{daysFromCivil(2019, 1, 1) + static_cast<int>(rng.range(0, 2190)),
                        static_cast<std::uint32_t>(rng.range(0, kDay - 1))};
    row[21] = std::int64_t(std::holds_alternative<std::monostate>(row[17]) ? 0 : rng.chance(60));
}

void Generator::serviceRow(std::int64_t index, Row &row) const
{
    Rng rng(m_seed, SaltService, index);
    const Person p = makePerson(m_seed, rng.range(0, m_sizes.customers - 1));
    Row item(28);
    inventoryRow(rng.range(0, std::max<std::int64_t>(m_sizes.inventory, 1) - 1), item, false);
    row[0] = std::int64_t(index + 1);
    row[1] = format("T%07lld", static_cast<long long>(index + 1));
    row[2] = std::int64_t(p.store);
    row[3] = p.account;
    row[4] = p.name;
    row[5] = item[1];
    row[6] = item[2];
    row[7] = item[5];
    row[8] = std::string(rng.pick(kProblems));
    const bool warranty = rng.chance(25);
    row[9] = warranty ? Money{0} : roundMoney(static_cast<double>(rng.range(2500, 45000)) / 100.0);
    if (rng.chance(60))
        row[10] = roundMoney(static_cast<double>(rng.range(0, 30000)) / 100.0);
    const int in = daysFromCivil(2022, 1, 1) + static_cast<int>(rng.range(0, 1090));
    row[11] = Date{in};
    static const std::array<const char *, 4> kStatus{"OPEN", "WAITPARTS", "DONE", "PICKEDUP"};
    const std::string status = kStatus[rng.weighted(std::array<int, 4>{15, 10, 20, 55})];
    if (status == "DONE" || status == "PICKEDUP")
        row[12] = Date{in + static_cast<int>(rng.range(0, 30))};
    row[13] = status;
    row[14] = std::string(rng.pick(kTechs));
    row[15] = std::int64_t(warranty);
}

void Generator::projectedRow(std::int64_t index, Row &row) const
{
    Rng rng(m_seed, SaltProjected, index);
    const std::int64_t customer = rng.range(0, m_sizes.customers - 1);
    const Person p = makePerson(m_seed, customer);
    Row item(28);
    inventoryRow(rng.range(0, std::max<std::int64_t>(m_sizes.inventory, 1) - 1), item, false);
    row[0] = std::int64_t(index + 1);
    row[1] = format("RA%08lld", static_cast<long long>(rng.range(1, 99999999)));
    row[2] = p.account;
    row[3] = p.name;
    row[4] = std::int64_t(p.store);
    row[5] = item[3];
    row[6] = item[1];
    static const std::array<const char *, 3> kFrequency{"WEEKLY", "BIWEEKLY", "MONTHLY"};
    const std::size_t f = rng.weighted(std::array<int, 3>{60, 25, 15});
    row[7] = std::string(kFrequency[f]);
    const double weekly = std::get<Money>(item[20]).cents / 100.0;
    const double payment = weekly * std::array<double, 3>{1, 2, 4.33}[f];
    row[8] = roundMoney(payment);
    const int due = daysFromCivil(2024, 10, 1) + static_cast<int>(rng.range(0, 180));
    row[10] = Date{due};
    const int today = daysFromCivil(2025, 1, 15);
    if (due <= today && rng.chance(80)) {
        row[9] = rng.chance(85) ? roundMoney(payment) : roundMoney(payment * rng.range(20, 90) / 100.0);
        row[11] = Date{due + static_cast<int>(rng.range(-3, 6))};
    } else {
        row[9] = Money{0};
    }
}

} // namespace sampledb
