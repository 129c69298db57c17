// The sign-off workbook, written with libxlsxwriter in its constant-memory
// mode: each sheet's rows go out in order as they are read.
#include "insight/signoff_sheet.h"

#include <xlsxwriter.h>

#include <functional>
#include <set>
#include <stdexcept>
#include <tuple>

#include "component/sql_text.h"
#include "insight/rows.h"

namespace migprof::insight {
namespace {

struct Formats {
  lxw_format* header;
  lxw_format* expired;
  lxw_format* bold;
  lxw_format* percent;
};

// One list of a sheet: a header row (frozen, with a filter over the rows
// below it) and rows written in order.
class List {
 public:
  struct Column {
    const char* title;
    double width;
  };
  List(lxw_workbook* book, const char* name, const Formats& formats, std::vector<Column> columns,
       lxw_row_t first_row = 0, lxw_worksheet* sheet = nullptr)
      : sheet_(sheet ? sheet : workbook_add_worksheet(book, name)),
        formats_(formats),
        header_row_(first_row),
        row_(first_row),
        columns_(columns.size()) {
    for (std::size_t i = 0; i < columns.size(); ++i) {
      const auto col = static_cast<lxw_col_t>(i);
      if (!sheet) worksheet_set_column(sheet_, col, col, columns[i].width, nullptr);
      worksheet_write_string(sheet_, row_, col, columns[i].title, formats_.header);
    }
    worksheet_freeze_panes(sheet_, header_row_ + 1, 0);
    ++row_;
  }

  // Writes one row; expired rows get the marked format.
  void Add(const std::vector<Variant>& cells, bool expired = false) {
    lxw_format* format = expired ? formats_.expired : nullptr;
    for (std::size_t i = 0; i < cells.size(); ++i)
      Write(static_cast<lxw_col_t>(i), cells[i], format);
    ++row_;
  }

  // The filter over the header and every row written.
  void Close() {
    worksheet_autofilter(sheet_, header_row_, 0, row_ > header_row_ + 1 ? row_ - 1 : header_row_,
                         static_cast<lxw_col_t>(columns_ - 1));
  }

  lxw_worksheet* sheet() const { return sheet_; }
  lxw_row_t row() const { return row_; }

 private:
  void Write(lxw_col_t col, const Variant& value, lxw_format* format) {
    switch (value.type()) {
      case Variant::Type::kEmpty:
      case Variant::Type::kNull:
        if (format) worksheet_write_blank(sheet_, row_, col, format);
        return;
      case Variant::Type::kInteger:
      case Variant::Type::kLong:
      case Variant::Type::kDouble:
        worksheet_write_number(sheet_, row_, col, value.ToDouble(), format);
        return;
      default:
        worksheet_write_string(sheet_, row_, col, TextOf(value).c_str(), format);
    }
  }

  lxw_worksheet* sheet_;
  const Formats& formats_;
  lxw_row_t header_row_;
  lxw_row_t row_;
  std::size_t columns_;
};

using Key = std::tuple<String, String, String>;

// Reads the rows of sql one at a time into each.
void EachRow(ado::Connection& connection, const String& sql,
             const std::function<void(const Row&)>& each) {
  std::shared_ptr<ado::Recordset> rs = connection.Execute(sql);
  ado::Fields fields = rs->Fields();
  const long count = fields.Count();
  Row row(static_cast<std::size_t>(count));
  while (!rs->EndOfFile()) {
    for (long i = 0; i < count; ++i) {
      row[static_cast<std::size_t>(i)] = fields.Item(static_cast<Integer>(i)).Value();
    }
    each(row);
    rs->MoveNext();
  }
  rs->Close();
}

Variant Yes(bool yes) { return Variant(String(yes ? "yes" : "no")); }

class Writer {
 public:
  Writer(const DataSource& source, const Coverage& coverage, const SignoffHeader& header,
         const std::string& path, const std::string& tmpdir)
      : connection_(Connect(source)), coverage_(coverage), header_(header) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = tmpdir.empty() ? nullptr : const_cast<char*>(tmpdir.c_str());
    options.use_zip64 = LXW_TRUE;
    book_ = workbook_new_opt(path.c_str(), &options);
    if (!book_) throw std::runtime_error("cannot write " + path);
    formats_.header = workbook_add_format(book_);
    format_set_bold(formats_.header);
    format_set_bg_color(formats_.header, 0xD9E1F2);
    format_set_bottom(formats_.header, LXW_BORDER_THIN);
    formats_.expired = workbook_add_format(book_);
    format_set_font_strikeout(formats_.expired);
    format_set_font_color(formats_.expired, 0x808080);
    format_set_bg_color(formats_.expired, 0xEDEDED);
    formats_.bold = workbook_add_format(book_);
    format_set_bold(formats_.bold);
    formats_.percent = workbook_add_format(book_);
    format_set_num_format(formats_.percent, "0.0");
    const Scope& s = coverage.scope;
    rules_ = WhereProfile(static_cast<Integer>(s.mprf)) + AndVrc(s.vers, s.rele, s.cust);
    for (const TableCoverage& t : coverage.tables) {
      const Key key{t.tcpac, t.tcmod, t.tflno};
      if (t.table_rule.value_or("") == "X") expired_tables_.insert(key);
      for (const String& name : t.stale) stale_.insert({t.tcpac, t.tcmod, t.tflno, name});
      for (const String& name : t.missing_sources)
        missing_sources_.insert({t.tcpac, t.tcmod, t.tflno, name});
      for (const String& name : t.missing_functions)
        missing_functions_.insert({t.tcpac, t.tcmod, t.tflno, name});
    }
  }
  ~Writer() {
    if (book_) workbook_close(book_);
  }

  void Run(const std::string& path) {
    Summary();
    TableRules();
    FieldRules();
    SourceTables();
    FunctionsUsed();
    Links();
    Library();
    Unmapped();
    lxw_error error = workbook_close(book_);
    book_ = nullptr;
    if (error != LXW_NO_ERROR) {
      throw std::runtime_error("cannot write " + path + ": " + lxw_strerror(error));
    }
  }

 private:
  using Named = std::tuple<String, String, String, String>;

  const char* Name(std::size_t i) { return SignoffSheetNames()[i].c_str(); }

  void Summary() {
    lxw_worksheet* sheet = workbook_add_worksheet(book_, Name(0));
    worksheet_set_column(sheet, 0, 0, 22, nullptr);
    worksheet_set_column(sheet, 1, 2, 10, nullptr);
    worksheet_set_column(sheet, 3, 15, 12, nullptr);
    const Scope& s = coverage_.scope;
    const String vrc = s.vers + "_" + s.rele + "_" + s.cust;
    const std::pair<const char*, String> lines[] = {
        {"Profile", std::to_string(s.mprf)},
        {"Description", header_.description},
        {"VRC", vrc},
        {"Parent VRC", header_.parent.empty() ? String("(standard profile)") : header_.parent},
        {"Source application", coverage_.source_app},
        {"Target application", coverage_.target_app},
        {"Owner", header_.owner},
        {"Exported by", header_.exported_by},
        {"Exported at", header_.exported_at},
    };
    lxw_row_t row = 0;
    for (const auto& [label, value] : lines) {
      worksheet_write_string(sheet, row, 0, label, formats_.bold);
      worksheet_write_string(sheet, row, 1, value.c_str(), nullptr);
      ++row;
    }
    ++row;
    List list(book_, nullptr, formats_,
              {{"Package (tcpac)", 0},
               {"Module (tcmod)", 0},
               {"Table (tflno)", 0},
               {"In dictionary", 0},
               {"Table rule status", 0},
               {"Field elements", 0},
               {"Mapped", 0},
               {"Expired", 0},
               {"Unmapped", 0},
               {"Coverage %", 0},
               {"Stale rules", 0},
               {"Missing source tables", 0},
               {"Missing functions", 0},
               {"Inherited", 0},
               {"Overridden", 0},
               {"Local", 0}},
              row, sheet);
    auto counts = [](const CoverageCounts& c) {
      return std::vector<long long>{c.elements, c.mapped, c.expired, c.unmapped};
    };
    auto rest = [](const CoverageCounts& c) {
      return std::vector<long long>{c.stale_rules, c.missing_sources, c.missing_functions,
                                    c.inherited,   c.overridden,      c.local};
    };
    // The percent cell is written after the row's other cells, while the
    // row is still the last one (constant-memory mode writes rows in order).
    auto write = [&](std::vector<Variant> cells, const CoverageCounts& c, bool expired) {
      for (long long n : counts(c)) cells.emplace_back(static_cast<Double>(n));
      cells.emplace_back(Variant::Null());
      for (long long n : rest(c)) cells.emplace_back(static_cast<Double>(n));
      const lxw_row_t at = list.row();
      list.Add(cells, expired);
      PercentAt(list.sheet(), at, c);
    };
    for (const TableCoverage& t : coverage_.tables) {
      write({Variant(t.tcpac), Variant(t.tcmod), Variant(t.tflno), Yes(t.in_dictionary),
             t.table_rule ? Variant(*t.table_rule) : Variant::Null()},
            t.counts, t.table_rule.value_or("") == "X");
    }
    list.Close();
    write({Variant(String("Total")), Variant::Null(), Variant::Null(), Variant::Null(),
           Variant::Null()},
          coverage_.total, false);
  }

  void PercentAt(lxw_worksheet* sheet, lxw_row_t row, const CoverageCounts& c) {
    if (c.elements <= 0) return;
    worksheet_write_number(sheet, row, 9, static_cast<double>(c.mapped * 1000 / c.elements) / 10.0,
                           formats_.percent);
  }

  void TableRules() {
    List list(book_, Name(1), formats_,
              {{"Package (tcpac)", 10},
               {"Module (tcmod)", 10},
               {"Table (tflno)", 10},
               {"Status (stat)", 8},
               {"Rule text (prtx)", 40},
               {"Comment (comt)", 50},
               {"Last user (lusr)", 12},
               {"Last change (ldat)", 20},
               {"vari", 6},
               {"stbl", 6},
               {"isms", 6},
               {"txtn", 10}});
    EachRow(*connection_,
            "select tcpac, tcmod, tflno, stat, prtx, comt, lusr, ldat, vari, stbl, isms, txtn "
            "from qzmap120" +
                rules_ + " order by tcpac, tcmod, tflno",
            [&](const Row& row) { list.Add(row, TextOf(row[3]) == "X"); });
    list.Close();
  }

  void FieldRules() {
    List list(book_, Name(2), formats_,
              {{"Package (tcpac)", 10},
               {"Module (tcmod)", 10},
               {"Table (tflno)", 10},
               {"Field element (fdnm)", 18},
               {"Element (dnum)", 10},
               {"Mapping rule (mrul)", 45},
               {"Type (type)", 8},
               {"Status (stat)", 8},
               {"In dictionary", 12},
               {"Table rule expired", 12}});
    EachRow(*connection_,
            "select tcpac, tcmod, tflno, fdnm, dnum, mrul, type, stat from qzmap140" + rules_ +
                " order by tcpac, tcmod, tflno, fdnm, dnum",
            [&](const Row& row) {
              const Key table{TextOf(row[0]), TextOf(row[1]), TextOf(row[2])};
              const bool table_expired = expired_tables_.count(table) > 0;
              std::vector<Variant> cells = row;
              cells.push_back(Yes(
                  !stale_.count({TextOf(row[0]), TextOf(row[1]), TextOf(row[2]), TextOf(row[3])})));
              cells.push_back(Yes(table_expired));
              list.Add(cells, table_expired || TextOf(row[7]) == "X");
            });
    list.Close();
  }

  void SourceTables() {
    List list(book_, Name(3), formats_,
              {{"Package (tcpac)", 10},
               {"Module (tcmod)", 10},
               {"Table (tflno)", 10},
               {"Source package (scpac)", 12},
               {"Source module (scmod)", 12},
               {"Source table (sflno)", 12},
               {"icod", 6},
               {"Query (qury)", 40},
               {"In a dictionary", 12}});
    EachRow(*connection_,
            "select tcpac, tcmod, tflno, scpac, scmod, sflno, icod, qury from qzmap130" + rules_ +
                " order by tcpac, tcmod, tflno, scpac, scmod, sflno",
            [&](const Row& row) {
              std::vector<Variant> cells = row;
              const String source = TextOf(row[3]) + " " + TextOf(row[4]) + " " + TextOf(row[5]);
              cells.push_back(Yes(!missing_sources_.count(
                  {TextOf(row[0]), TextOf(row[1]), TextOf(row[2]), source})));
              list.Add(cells,
                       expired_tables_.count({TextOf(row[0]), TextOf(row[1]), TextOf(row[2])}) > 0);
            });
    list.Close();
  }

  void FunctionsUsed() {
    List list(book_, Name(4), formats_,
              {{"Package (tcpac)", 10},
               {"Module (tcmod)", 10},
               {"Table (tflno)", 10},
               {"Function (func)", 20},
               {"In the library", 12}});
    EachRow(*connection_,
            "select tcpac, tcmod, tflno, func from qzmap160" + rules_ +
                " order by tcpac, tcmod, tflno, func",
            [&](const Row& row) {
              std::vector<Variant> cells = row;
              cells.push_back(Yes(!missing_functions_.count(
                  {TextOf(row[0]), TextOf(row[1]), TextOf(row[2]), TextOf(row[3])})));
              list.Add(cells,
                       expired_tables_.count({TextOf(row[0]), TextOf(row[1]), TextOf(row[2])}) > 0);
            });
    list.Close();
  }

  void Links() {
    List list(book_, Name(5), formats_,
              {{"Base package (bpac)", 12},
               {"Base module (bmod)", 12},
               {"Base table (bflno)", 12},
               {"Child package (cpac)", 12},
               {"Child module (cmod)", 12},
               {"Child table (cflno)", 12}});
    EachRow(*connection_,
            "select bpac, bmod, bflno, cpac, cmod, cflno from qzmap170" + rules_ +
                " order by bpac, bmod, bflno, cpac, cmod, cflno",
            [&](const Row& row) { list.Add(row); });
    list.Close();
  }

  void Library() {
    List list(book_, Name(6), formats_,
              {{"Function (fnam)", 18},
               {"Description (dsca)", 40},
               {"Status (stat)", 8},
               {"Checked out by (curn)", 12},
               {"Last user (lurn)", 12},
               {"Last change (ldat)", 20},
               {"Definition (fdef)", 60},
               {"Comment (comt)", 40}});
    EachRow(*connection_,
            "select fnam, dsca, stat, curn, lurn, ldat, fdef, comt from qzlib100" + rules_ +
                " order by fnam",
            [&](const Row& row) { list.Add(row, TextOf(row[2]) == "X"); });
    list.Close();
  }

  void Unmapped() {
    List list(book_, Name(7), formats_,
              {{"Package (tcpac)", 10},
               {"Module (tcmod)", 10},
               {"Table (tflno)", 10},
               {"Field element", 18},
               {"State", 22}});
    for (const TableCoverage& t : coverage_.tables) {
      for (const String& name : t.unmapped) {
        list.Add({Variant(t.tcpac), Variant(t.tcmod), Variant(t.tflno), Variant(name),
                  Variant(String("no field rule"))});
      }
      for (const String& name : t.expired) {
        list.Add({Variant(t.tcpac), Variant(t.tcmod), Variant(t.tflno), Variant(name),
                  Variant(String("expired rules only"))},
                 true);
      }
    }
    list.Close();
  }

  std::shared_ptr<ado::Connection> connection_;
  const Coverage& coverage_;
  const SignoffHeader& header_;
  lxw_workbook* book_ = nullptr;
  Formats formats_{};
  String rules_;
  std::set<Key> expired_tables_;
  std::set<Named> stale_, missing_sources_, missing_functions_;
};

}  // namespace

const std::vector<std::string>& SignoffSheetNames() {
  static const std::vector<std::string> names = {"Summary",       "Table rules",    "Field rules",
                                                 "Source tables", "Functions used", "Table links",
                                                 "Library",       "Unmapped fields"};
  return names;
}

void WriteSignoffSheet(const DataSource& source, const Coverage& coverage,
                       const SignoffHeader& header, const std::string& path,
                       const std::string& tmpdir) {
  Writer(source, coverage, header, path, tmpdir).Run(path);
}

}  // namespace migprof::insight
