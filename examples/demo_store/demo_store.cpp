// Deterministic generator of the demo store database. Every value comes from one seeded
// pseudo-random sequence, so the same options always give the same file contents.
#include "demo_store/demo_store.h"

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string_view>
#include <vector>

namespace quenmark::demo {

namespace {

// splitmix64: tiny, fast and identical on every platform (unlike std distributions).
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Below(int n) { return n <= 0 ? 0 : static_cast<int>(Next() % static_cast<uint64_t>(n)); }
  int Between(int low, int high) { return low + Below(high - low + 1); }
  bool Chance(int percent) { return Below(100) < percent; }
  template <class T, size_t N>
  const T& Pick(const std::array<T, N>& items) {
    return items[static_cast<size_t>(Below(static_cast<int>(N)))];
  }

 private:
  uint64_t state_;
};

constexpr std::array<std::string_view, 40> kFirstNames = {
    "Anna",   "Bernd",  "Carla",  "Daniel", "Elena",   "Felix",  "Greta",  "Hugo",
    "Ines",   "Jonas",  "Klara",  "Lukas",  "Marta",   "Nils",   "Olga",   "Pedro",
    "Quinn",  "Rosa",   "Stefan", "Tamara", "Ulrich",  "Vera",   "Walter", "Xenia",
    "Yusuf",  "Zoe",    "Amélie", "Björn",  "Chloé",   "Dagmar", "Émile",  "Frida",
    "Gustav", "Helena", "Ivan",   "Jürgen", "Katrin",  "Leonie", "Matteo", "Noémie"};
constexpr std::array<std::string_view, 40> kLastNames = {
    "Albers",   "Brandt",   "Castillo", "Dufour",   "Eriksen",  "Fischer",  "García",
    "Hansen",   "Iversen",  "Jansen",   "Keller",   "Lindqvist","Moreau",   "Nowak",
    "O'Brien",  "Petrov",   "Quintero", "Rossi",    "Schmidt",  "Takahashi","Urban",
    "Vogel",    "Weber",    "Young",    "Zimmermann","Almeida", "Bauer",    "Costa",
    "Dubois",   "Engel",    "Ferreira", "Gallo",    "Horvat",   "Jensen",   "Kowalski",
    "Laurent",  "Müller",   "Novak",    "Olsen",    "Peeters"};
struct Place {
  std::string_view city;
  std::string_view region;  // empty: none (stored as NULL)
  std::string_view country;
  std::string_view postal;
  std::string_view phone_prefix;
};
constexpr std::array<Place, 24> kPlaces = {{
    {"Berlin", "", "Germany", "10115", "030"},       {"Hamburg", "", "Germany", "20095", "040"},
    {"München", "", "Germany", "80331", "089"},      {"Paris", "", "France", "75002", "01"},
    {"Lyon", "", "France", "69002", "04"},           {"Madrid", "", "Spain", "28013", "91"},
    {"Sevilla", "", "Spain", "41004", "95"},         {"Lisboa", "", "Portugal", "1100-148", "21"},
    {"Torino", "", "Italy", "10121", "011"},         {"Bergamo", "", "Italy", "24121", "035"},
    {"London", "", "UK", "EC1A 1BB", "020"},         {"Cowes", "Isle of Wight", "UK", "PO31 7PJ", "01983"},
    {"Bruxelles", "", "Belgium", "1000", "02"},      {"Bern", "", "Switzerland", "3012", "031"},
    {"Graz", "", "Austria", "8010", "0316"},         {"Århus", "", "Denmark", "8000", "86"},
    {"Oulu", "", "Finland", "90110", "981"},         {"Stavern", "", "Norway", "3290", "33"},
    {"Portland", "OR", "USA", "97201", "(503)"},     {"Seattle", "WA", "USA", "98104", "(206)"},
    {"Albuquerque", "NM", "USA", "87110", "(505)"},  {"Vancouver", "BC", "Canada", "V3F 2K1", "(604)"},
    {"México D.F.", "", "Mexico", "05023", "(5)"},   {"São Paulo", "SP", "Brazil", "05432-043", "(11)"}}};
constexpr std::array<std::string_view, 12> kStreets = {
    "Market Street", "Lindenallee", "Rue du Commerce", "Calle Mayor", "Via Roma", "Harbour Road",
    "Kirchgasse", "Oak Avenue", "Strandvejen", "Rua das Flores", "Mill Lane", "Bahnhofstraße"};
constexpr std::array<std::string_view, 12> kCompanyKinds = {
    "Trading", "Market", "Delicatessen", "Imports", "Grocers", "Provisions",
    "Foods", "& Sons", "Wholesale", "Corner Shop", "Pantry", "Fine Foods"};
constexpr std::array<std::string_view, 8> kContactTitles = {
    "Owner", "Sales Representative", "Marketing Manager", "Accounting Manager",
    "Purchasing Agent", "Sales Manager", "Order Administrator", "Sales Associate"};

struct CategoryRow {
  std::string_view name;
  std::string_view description;
  std::array<std::string_view, 10> products;
  std::string_view unit;
};
constexpr std::array<CategoryRow, 8> kCategories = {{
    {"Beverages", "Soft drinks, coffees, teas, beers, and ales",
     {"Highland Black Tea", "Cascade Lemonade", "Dark Roast Coffee", "Amber Ale", "Spiced Chai",
      "Elderflower Cordial", "Mountain Spring Water", "Pale Lager", "Green Jasmine Tea", "Apple Cider"},
     "24 - 12 oz bottles"},
    {"Condiments", "Sweet and savory sauces, relishes, spreads, and seasonings",
     {"Smoked Paprika", "Honey Mustard", "Chili Relish", "Garlic Aioli", "Herb Salt",
      "Balsamic Glaze", "Curry Paste", "Tomato Chutney", "Pepper Sauce", "Maple Syrup"},
     "12 - 8 oz jars"},
    {"Confections", "Desserts, candies, and sweet breads",
     {"Almond Biscotti", "Dark Chocolate Bar", "Licorice Wheels", "Ginger Snaps", "Marzipan Loaf",
      "Caramel Fudge", "Lemon Drops", "Hazelnut Wafers", "Cinnamon Buns", "Fruit Jellies"},
     "10 boxes x 12 pieces"},
    {"Dairy Products", "Cheeses",
     {"Aged Gouda", "Blue Cheese", "Goat Cheese", "Mountain Gruyere", "Fresh Mozzarella",
      "Sharp Cheddar", "Cream Cheese", "Smoked Provolone", "Feta in Brine", "Butter Churned"},
     "1 kg pkg."},
    {"Grains/Cereals", "Breads, crackers, pasta, and cereal",
     {"Rye Crispbread", "Spelt Pasta", "Rolled Oats", "Wild Rice", "Sourdough Loaf",
      "Barley Flakes", "Corn Polenta", "Egg Noodles", "Buckwheat Groats", "Seeded Crackers"},
     "20 - 450 g bags"},
    {"Meat/Poultry", "Prepared meats",
     {"Smoked Ham", "Chicken Pie", "Beef Jerky", "Duck Pâté", "Pork Sausages",
      "Turkey Breast", "Lamb Stew", "Venison Salami", "Meat Loaf", "Chicken Wings"},
     "48 pieces"},
    {"Produce", "Dried fruit and bean curd",
     {"Dried Apricots", "Sun-dried Tomatoes", "Tofu Block", "Dried Figs", "Apple Rings",
      "Banana Chips", "Mixed Nuts", "Raisins", "Dried Cranberries", "Pickled Beets"},
     "40 - 100 g pkgs."},
    {"Seafood", "Seaweed and fish",
     {"Smoked Salmon", "Pickled Herring", "Canned Tuna", "Crab Meat", "Anchovy Fillets",
      "Fish Soup", "Dried Cod", "Mussels in Wine", "Seaweed Sheets", "Shrimp Cocktail"},
     "24 - 250 g tins"},
}};

constexpr std::array<std::string_view, 6> kEmployeeTitles = {
    "Sales Representative", "Sales Representative", "Sales Representative",
    "Inside Sales Coordinator", "Sales Manager", "Sales Representative"};
constexpr std::array<std::string_view, 3> kShippers = {"Swift Parcel", "Harbor Freight Lines",
                                                       "Continental Couriers"};

struct Sqlite {
  sqlite3* db = nullptr;
  ~Sqlite() { sqlite3_close_v2(db); }
};
struct StatementDeleter {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

// A prepared INSERT with fluent binding; Run() reports the first failure.
class Insert {
 public:
  Insert(sqlite3* db, const char* sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) == SQLITE_OK) statement_.reset(raw);
  }
  Insert& Int(int64_t v) {
    sqlite3_bind_int64(statement_.get(), ++index_, v);
    return *this;
  }
  Insert& Real(double v) {
    sqlite3_bind_double(statement_.get(), ++index_, v);
    return *this;
  }
  Insert& Text(std::string_view v) {
    if (v.empty()) {
      sqlite3_bind_null(statement_.get(), ++index_);
    } else {
      sqlite3_bind_text(statement_.get(), ++index_, v.data(), static_cast<int>(v.size()),
                        SQLITE_TRANSIENT);
    }
    return *this;
  }
  Insert& Null() {
    sqlite3_bind_null(statement_.get(), ++index_);
    return *this;
  }
  Insert& Blob(const std::string& v) {
    sqlite3_bind_blob(statement_.get(), ++index_, v.data(), static_cast<int>(v.size()),
                      SQLITE_TRANSIENT);
    return *this;
  }
  bool Run() {
    index_ = 0;
    if (!statement_) return false;
    int rc = sqlite3_step(statement_.get());
    sqlite3_reset(statement_.get());
    return rc == SQLITE_DONE;
  }
  bool ok() const { return statement_ != nullptr; }

 private:
  Statement statement_;
  int index_ = 0;
};

std::string Date(int year, int month, int day) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", year, month, day);
  return buffer;
}

// Civil date of a day number counted from 2003-01-01 (proleptic Gregorian).
std::string DateFromDayNumber(int days_since_2003) {
  static constexpr int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int year = 2003;
  int days = days_since_2003;
  auto leap = [](int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; };
  while (days >= (leap(year) ? 366 : 365)) {
    days -= leap(year) ? 366 : 365;
    ++year;
  }
  int month = 0;
  while (true) {
    int length = kMonthDays[month] + (month == 1 && leap(year) ? 1 : 0);
    if (days < length) break;
    days -= length;
    ++month;
  }
  return Date(year, month + 1, days + 1);
}

std::string Phone(Random& random, std::string_view prefix) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.*s %03d-%04d", static_cast<int>(prefix.size()),
                prefix.data(), random.Between(200, 989), random.Between(0, 9999));
  return buffer;
}

// A 16x16 24-bit BMP portrait (a face-like disc on a coloured ground) behind the 78-byte OLE
// object header that stored pictures carry; image cells skip those 78 bytes.
std::string Photo(Random& random) {
  constexpr int kSide = 16;
  constexpr int kRowBytes = kSide * 3;  // already a multiple of 4
  constexpr int kPixelBytes = kRowBytes * kSide;
  std::string bmp;
  auto u16 = [&](uint32_t v) {
    bmp += static_cast<char>(v & 0xFF);
    bmp += static_cast<char>((v >> 8) & 0xFF);
  };
  auto u32 = [&](uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  bmp += "BM";
  u32(54 + kPixelBytes);
  u32(0);
  u32(54);
  u32(40);
  u32(kSide);
  u32(kSide);
  u16(1);
  u16(24);
  u32(0);
  u32(kPixelBytes);
  u32(2835);
  u32(2835);
  u32(0);
  u32(0);
  const uint8_t ground[3] = {static_cast<uint8_t>(random.Between(120, 255)),
                             static_cast<uint8_t>(random.Between(120, 255)),
                             static_cast<uint8_t>(random.Between(120, 255))};
  const uint8_t skin[3] = {static_cast<uint8_t>(random.Between(90, 200)),
                           static_cast<uint8_t>(random.Between(120, 210)),
                           static_cast<uint8_t>(random.Between(180, 240))};
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      int dx = x - 8, dy = y - 9;
      const uint8_t* c = dx * dx + dy * dy < 30 ? skin : ground;
      bmp.append(reinterpret_cast<const char*>(c), 3);
    }
  }
  std::string ole(78, '\0');
  ole[0] = 0x15;
  ole[1] = 0x1C;
  ole.replace(20, 13, "Bitmap Image\0", 13);
  return ole + bmp;
}

constexpr const char* kSchema = R"SQL(
CREATE TABLE Categories (
  CategoryID INTEGER PRIMARY KEY,
  CategoryName VARCHAR(15) NOT NULL,
  Description TEXT
);
CREATE TABLE Suppliers (
  SupplierID INTEGER PRIMARY KEY,
  CompanyName VARCHAR(40) NOT NULL,
  ContactName VARCHAR(30),
  ContactTitle VARCHAR(30),
  Address VARCHAR(60),
  City VARCHAR(15),
  Region VARCHAR(15),
  PostalCode VARCHAR(10),
  Country VARCHAR(15),
  Phone VARCHAR(24)
);
CREATE TABLE Products (
  ProductID INTEGER PRIMARY KEY,
  ProductName VARCHAR(40) NOT NULL,
  SupplierID INTEGER REFERENCES Suppliers(SupplierID),
  CategoryID INTEGER REFERENCES Categories(CategoryID),
  QuantityPerUnit VARCHAR(20),
  UnitPrice MONEY,
  UnitsInStock SMALLINT,
  UnitsOnOrder SMALLINT,
  ReorderLevel SMALLINT,
  Discontinued BIT NOT NULL
);
CREATE TABLE Customers (
  CustomerID CHAR(5) PRIMARY KEY,
  CompanyName VARCHAR(40) NOT NULL,
  ContactName VARCHAR(30),
  ContactTitle VARCHAR(30),
  Address VARCHAR(60),
  City VARCHAR(15),
  Region VARCHAR(15),
  PostalCode VARCHAR(10),
  Country VARCHAR(15),
  Phone VARCHAR(24),
  Fax VARCHAR(24)
);
CREATE TABLE Employees (
  EmployeeID INTEGER PRIMARY KEY,
  LastName VARCHAR(20) NOT NULL,
  FirstName VARCHAR(10) NOT NULL,
  Title VARCHAR(30),
  BirthDate DATETIME,
  HireDate DATETIME,
  City VARCHAR(15),
  Country VARCHAR(15),
  HomePhone VARCHAR(24),
  Extension VARCHAR(4),
  Salary MONEY,
  Photo BLOB,
  Notes TEXT,
  ReportsTo INTEGER REFERENCES Employees(EmployeeID)
);
CREATE TABLE Shippers (
  ShipperID INTEGER PRIMARY KEY,
  CompanyName VARCHAR(40) NOT NULL,
  Phone VARCHAR(24)
);
CREATE TABLE Orders (
  OrderID INTEGER PRIMARY KEY,
  CustomerID CHAR(5) REFERENCES Customers(CustomerID),
  EmployeeID INTEGER REFERENCES Employees(EmployeeID),
  OrderDate DATETIME,
  RequiredDate DATETIME,
  ShippedDate DATETIME,
  ShipVia INTEGER REFERENCES Shippers(ShipperID),
  Freight MONEY,
  ShipName VARCHAR(40),
  ShipCity VARCHAR(15),
  ShipCountry VARCHAR(15)
);
CREATE TABLE OrderDetails (
  OrderID INTEGER NOT NULL REFERENCES Orders(OrderID),
  ProductID INTEGER NOT NULL REFERENCES Products(ProductID),
  UnitPrice MONEY NOT NULL,
  Quantity SMALLINT NOT NULL,
  Discount REAL NOT NULL
);
)SQL";

constexpr const char* kIndexesAndViews = R"SQL(
CREATE INDEX OrderDetailsOrder ON OrderDetails(OrderID);
CREATE INDEX OrderDetailsProduct ON OrderDetails(ProductID);
CREATE INDEX OrdersCustomer ON Orders(CustomerID);
CREATE VIEW ProductList AS
  SELECT p.ProductID, p.ProductName, c.CategoryName, p.UnitPrice, p.UnitsInStock
  FROM Products p JOIN Categories c ON c.CategoryID = p.CategoryID
  WHERE p.Discontinued = 0;
CREATE VIEW OrderSubtotals AS
  SELECT OrderID, SUM(UnitPrice * Quantity * (1 - Discount)) AS Subtotal
  FROM OrderDetails GROUP BY OrderID;
CREATE VIEW SalesByCategory AS
  SELECT c.CategoryName, p.ProductName,
         SUM(d.UnitPrice * d.Quantity * (1 - d.Discount)) AS ProductSales
  FROM OrderDetails d
  JOIN Products p ON p.ProductID = d.ProductID
  JOIN Categories c ON c.CategoryID = p.CategoryID
  GROUP BY c.CategoryName, p.ProductName;
)SQL";

Status Exec(sqlite3* db, const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    return Status::Failure("Demo store: " + text);
  }
  return Status::Ok();
}

Status Fill(sqlite3* db, const DemoStoreOptions& o) {
  Random random(o.seed);
  auto fail = [&](const char* what) {
    return Status::Failure(std::string("Demo store: cannot insert ") + what + ": " + sqlite3_errmsg(db));
  };

  Insert category(db, "INSERT INTO Categories VALUES (?,?,?)");
  for (size_t i = 0; i < kCategories.size(); ++i) {
    if (!category.Int(static_cast<int64_t>(i + 1)).Text(kCategories[i].name)
             .Text(kCategories[i].description).Run()) {
      return fail("categories");
    }
  }

  auto person = [&] {
    return std::string(random.Pick(kFirstNames)) + " " + std::string(random.Pick(kLastNames));
  };
  auto address = [&] {
    return std::to_string(random.Between(1, 240)) + " " + std::string(random.Pick(kStreets));
  };

  Insert supplier(db, "INSERT INTO Suppliers VALUES (?,?,?,?,?,?,?,?,?,?)");
  for (int i = 1; i <= o.suppliers; ++i) {
    const Place& place = random.Pick(kPlaces);
    std::string name = std::string(random.Pick(kLastNames)) + " " + std::string(random.Pick(kCompanyKinds));
    if (!supplier.Int(i).Text(name).Text(person()).Text(random.Pick(kContactTitles)).Text(address())
             .Text(place.city).Text(place.region).Text(place.postal).Text(place.country)
             .Text(Phone(random, place.phone_prefix)).Run()) {
      return fail("suppliers");
    }
  }

  Insert product(db, "INSERT INTO Products VALUES (?,?,?,?,?,?,?,?,?,?)");
  std::vector<double> prices(static_cast<size_t>(std::max(o.products, 0)) + 1, 0.0);
  for (int i = 1; i <= o.products; ++i) {
    size_t c = static_cast<size_t>((i - 1) % static_cast<int>(kCategories.size()));
    size_t n = static_cast<size_t>((i - 1) / static_cast<int>(kCategories.size()));
    const CategoryRow& row = kCategories[c];
    std::string name(row.products[n % row.products.size()]);
    if (n >= row.products.size()) name += " No. " + std::to_string(n / row.products.size() + 1);
    double price = random.Between(10, 1060) * 0.25;  // 2.50 to 265.00 in quarter steps
    prices[static_cast<size_t>(i)] = price;
    if (!product.Int(i).Text(name).Int(o.suppliers > 0 ? random.Between(1, o.suppliers) : 0)
             .Int(static_cast<int64_t>(c + 1)).Text(row.unit).Real(price)
             .Int(random.Between(0, 125)).Int(random.Chance(25) ? random.Between(10, 80) : 0)
             .Int(random.Between(0, 6) * 5).Int(random.Chance(10) ? 1 : 0).Run()) {
      return fail("products");
    }
  }

  Insert customer(db, "INSERT INTO Customers VALUES (?,?,?,?,?,?,?,?,?,?,?)");
  std::vector<std::string> customer_ids;
  std::vector<const Place*> customer_places;
  std::vector<std::string> customer_names;
  for (int i = 1; i <= o.customers; ++i) {
    const Place& place = random.Pick(kPlaces);
    std::string last(random.Pick(kLastNames));
    std::string name = last + " " + std::string(random.Pick(kCompanyKinds));
    // Five upper-case letters from the name, then a running number keeps the key unique.
    std::string id;
    for (char ch : last) {
      if (id.size() < 3 && ch >= 'A' && ch <= 'z' && std::isalpha(static_cast<unsigned char>(ch))) {
        id += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      }
    }
    while (id.size() < 3) id += 'X';
    // The running number in base 36, at least two digits, keeps every key unique.
    constexpr std::string_view kDigits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::string suffix;
    for (int n = i; n > 0 || suffix.size() < 2; n /= 36) suffix.insert(suffix.begin(), kDigits[static_cast<size_t>(n % 36)]);
    id += suffix;
    if (!customer.Text(id).Text(name).Text(person()).Text(random.Pick(kContactTitles)).Text(address())
             .Text(place.city).Text(place.region).Text(place.postal).Text(place.country)
             .Text(Phone(random, place.phone_prefix))
             .Text(random.Chance(60) ? Phone(random, place.phone_prefix) : std::string()).Run()) {
      return fail("customers");
    }
    customer_ids.push_back(id);
    customer_places.push_back(&place);
    customer_names.push_back(name);
  }

  Insert employee(db, "INSERT INTO Employees VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
  for (int i = 1; i <= o.employees; ++i) {
    const Place& place = kPlaces[static_cast<size_t>(random.Below(4)) + 10];
    std::string first(random.Pick(kFirstNames));
    std::string last(random.Pick(kLastNames));
    std::string title = i == 1 ? "Managing Director" : std::string(random.Pick(kEmployeeTitles));
    std::string notes = first + " joined the company as " + title + " and looks after customers in " +
                        std::string(place.country) + ".";
    employee.Int(i).Text(last).Text(first).Text(title)
        .Text(Date(random.Between(1950, 1980), random.Between(1, 12), random.Between(1, 28)))
        .Text(Date(random.Between(1994, 2002), random.Between(1, 12), random.Between(1, 28)))
        .Text(place.city).Text(place.country).Text(Phone(random, place.phone_prefix))
        .Text(std::to_string(random.Between(100, 999)))
        .Real(random.Between(1800, 4200) * 25.0).Blob(Photo(random)).Text(notes);
    if (i == 1) {
      employee.Null();
    } else {
      employee.Int(i <= 3 ? 1 : random.Between(1, 3 < i - 1 ? 3 : i - 1));
    }
    if (!employee.Run()) return fail("employees");
  }

  Insert shipper(db, "INSERT INTO Shippers VALUES (?,?,?)");
  for (size_t i = 0; i < kShippers.size(); ++i) {
    if (!shipper.Int(static_cast<int64_t>(i + 1)).Text(kShippers[i])
             .Text(Phone(random, "(503)")).Run()) {
      return fail("shippers");
    }
  }

  // Orders spread evenly over two years (2003-07-01 onwards); the last few are not shipped yet.
  Insert order(db, "INSERT INTO Orders VALUES (?,?,?,?,?,?,?,?,?,?,?)");
  constexpr int kFirstOrderId = 1001;
  constexpr int kFirstDay = 181;  // 2003-07-01
  constexpr int kSpanDays = 730;
  for (int i = 0; i < o.orders && o.customers > 0; ++i) {
    size_t c = static_cast<size_t>(random.Below(o.customers));
    int day = kFirstDay + static_cast<int>(static_cast<int64_t>(i) * kSpanDays / std::max(o.orders, 1));
    bool shipped = i < o.orders - std::max(1, o.orders / 40) || random.Chance(30);
    order.Int(kFirstOrderId + i).Text(customer_ids[c])
        .Int(o.employees > 0 ? random.Between(1, o.employees) : 0)
        .Text(DateFromDayNumber(day)).Text(DateFromDayNumber(day + 28));
    if (shipped) {
      order.Text(DateFromDayNumber(day + random.Between(1, 14)));
    } else {
      order.Null();
    }
    order.Int(random.Between(1, static_cast<int>(kShippers.size())))
        .Real(random.Between(2, 90000) / 100.0).Text(customer_names[c])
        .Text(customer_places[c]->city).Text(customer_places[c]->country);
    if (!order.Run()) return fail("orders");
  }

  // Order details: each order gets a random weight; the cumulative weights split the requested
  // total exactly, so every order has at least one line when there are enough lines.
  if (o.orders > 0 && o.products > 0 && o.order_details > 0) {
    std::vector<uint32_t> weights(static_cast<size_t>(o.orders));
    uint64_t total_weight = 0;
    for (uint32_t& w : weights) {
      w = static_cast<uint32_t>(random.Between(1, 5));
      total_weight += w;
    }
    Insert detail(db, "INSERT INTO OrderDetails VALUES (?,?,?,?,?)");
    constexpr double kDiscounts[] = {0, 0, 0, 0, 0.05, 0.1, 0.15, 0.2, 0.25};
    const int64_t base = o.order_details >= o.orders ? 1 : 0;
    const uint64_t spread = static_cast<uint64_t>(o.order_details - base * o.orders);
    uint64_t cumulative = 0;
    int64_t written = 0;
    for (int i = 0; i < o.orders; ++i) {
      cumulative += weights[static_cast<size_t>(i)];
      int64_t end = base * (i + 1) + static_cast<int64_t>(static_cast<unsigned __int128>(cumulative) *
                                                           spread / total_weight);
      int start_product = random.Between(1, o.products);
      int step = 1 + random.Below(7);
      for (int64_t line = 0; written < end; ++written, ++line) {
        int product_id = static_cast<int>((start_product - 1 + line * step) % o.products) + 1;
        if (!detail.Int(kFirstOrderId + i).Int(product_id).Real(prices[static_cast<size_t>(product_id)])
                 .Int(random.Between(1, 120)).Real(kDiscounts[random.Below(9)]).Run()) {
          return fail("order details");
        }
      }
    }
  }
  return Status::Ok();
}

}  // namespace

Status GenerateDemoStore(const std::string& path, const DemoStoreOptions& options) {
  namespace fs = std::filesystem;
  if (options.customers < 0 || options.employees < 0 || options.suppliers < 0 ||
      options.products < 0 || options.orders < 0 || options.order_details < 0) {
    return Status::Failure("Demo store: row counts cannot be negative.");
  }
  fs::path target(path);
  std::error_code ec;
  if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);
  static std::atomic<int> counter{0};
  std::string temporary = path + ".tmp-" + std::to_string(::getpid()) + "-" +
                          std::to_string(counter.fetch_add(1));
  fs::remove(temporary, ec);

  Status status = Status::Ok();
  {
    Sqlite store;
    if (sqlite3_open_v2(temporary.c_str(), &store.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
      status = Status::Failure("Demo store: cannot create \"" + temporary + "\": " +
                               (store.db ? sqlite3_errmsg(store.db) : "out of memory"));
    } else {
      // The file is private until renamed, so no journal is needed; one transaction keeps a
      // million-row build fast.
      status = Exec(store.db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN;");
      if (status.ok()) status = Exec(store.db, kSchema);
      if (status.ok()) status = Fill(store.db, options);
      if (status.ok()) status = Exec(store.db, kIndexesAndViews);
      if (status.ok()) status = Exec(store.db, "COMMIT;");
    }
  }
  if (status.ok()) {
    fs::rename(temporary, target, ec);
    if (ec) status = Status::Failure("Demo store: cannot rename to \"" + path + "\": " + ec.message());
  }
  if (!status.ok()) fs::remove(temporary, ec);
  return status;
}

}  // namespace quenmark::demo
