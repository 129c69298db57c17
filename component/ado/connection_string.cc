
#include "component/ado/session.h"
#include "component/text/ascii.h"

namespace migprof::ado::detail {
ConnectionParameters ParseConnectionString(const String& text) {
  ConnectionParameters parameters;
  bool have_dsn = false, have_uid = false, have_pwd = false;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find(';', pos);
    if (end == String::npos) end = text.size();
    String item = text.substr(pos, end - pos);
    pos = end + 1;
    std::size_t eq = item.find('=');
    if (eq == String::npos) continue;
    String key = text::Lower(item.substr(0, eq));
    String value = item.substr(eq + 1);
    if (key == "dsn" && !have_dsn) {
      parameters.dsn = value;
      have_dsn = true;
    } else if (key == "uid" && !have_uid) {
      parameters.uid = value;
      have_uid = true;
    } else if (key == "pwd" && !have_pwd) {
      parameters.pwd = value;
      have_pwd = true;
    }
  }
  return parameters;
}

}  // namespace migprof::ado::detail
