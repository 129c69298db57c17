// The read-only views of the insight component for a principal (compare,
// lineage, where used, export), and the import of an exported profile,
// which only an administrator may make since it writes the document's owner.
#ifndef MIGPROF_APP_INSIGHT_H_
#define MIGPROF_APP_INSIGHT_H_

#include <string>

#include "app/application.h"
#include "app/values.h"
#include "migprof/insight.h"

namespace migprof::app {

insight::Comparison Compare(Application& app, const Principal& principal,
                            const insight::RuleSet& left, const insight::RuleSet& right);
insight::ProfileLineage Lineage(Application& app, const Principal& principal, Integer mprf);
insight::TableUsage TableUse(Application& app, const Principal& principal, const String& tcpac,
                             const String& tcmod, const String& tflno);
insight::FunctionUsage FunctionUse(Application& app, const Principal& principal,
                                   const String& name);
// The same lists a page at a time, counted and cut by the server.
insight::UsagePage<insight::Use> TableUsePage(Application& app, const Principal& principal,
                                              const TableKey& key, long offset, long count);
insight::UsagePage<insight::FunctionHolder> FunctionHoldersPage(Application& app,
                                                                const Principal& principal,
                                                                const String& name, long offset,
                                                                long count);
insight::UsagePage<insight::Use> FunctionCallsPage(Application& app, const Principal& principal,
                                                   const String& name, long offset, long count);
std::string Export(Application& app, const Principal& principal, Integer mprf);

// Imports the exported profile in document (recorded). Raises Forbidden,
// insight::ImportRefused or ComError.
insight::ImportResult Import(Application& app, const Principal& principal,
                             const std::string& document);
// What the import would write, on a snapshot; nothing is recorded.
std::vector<insight::TableChanges> PreviewImport(Application& app, const Principal& principal,
                                                 const std::string& document,
                                                 insight::ImportResult& result);

}  // namespace migprof::app

#endif  // MIGPROF_APP_INSIGHT_H_
