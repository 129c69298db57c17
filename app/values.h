// The values every request of the application layer names: a VRC and a
// table key, as the members take them.
#ifndef MIGPROF_APP_VALUES_H_
#define MIGPROF_APP_VALUES_H_

#include <optional>
#include <vector>

#include "migprof/automation.h"

namespace migprof::app {

struct Vrc {
  String vers, rele, cust;

  // "{vers}_{rele}_{cust}", as the members take a parent VRC.
  String Text() const { return vers + "_" + rele + "_" + cust; }
  bool Empty() const { return vers.empty() && rele.empty() && cust.empty(); }
  bool operator==(const Vrc&) const = default;
};

// The VRC written "{vers}_{rele}_{cust}"; nullopt for "__" (no parent) or a
// text without two "_".
std::optional<Vrc> ParseVrc(const String& text);

struct TableKey {
  String tcpac, tcmod, tflno;

  // The entry of a table list: package code, module, table number.
  String Code() const { return tcpac + tcmod + tflno; }
  // The form people read and every page shows: "or itm 001".
  String Label() const { return tcpac + " " + tcmod + " " + tflno; }
  bool operator==(const TableKey&) const = default;
};

// A table code as people type it: "oritm001" split as the members split it
// (two, three, the rest), or "or itm 001" split at its blanks; blanks around
// it do not count. nullopt when it is shorter than six characters or, with
// blanks, not three parts of two, three and at least one character.
std::optional<TableKey> ParseTableCode(const String& code);

// The entries of a comma-separated table list that are table codes.
std::vector<TableKey> ParseTableList(const String& codes);

}  // namespace migprof::app

#endif  // MIGPROF_APP_VALUES_H_
