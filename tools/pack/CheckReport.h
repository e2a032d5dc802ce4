#pragma once
// The checker's findings as an author reads them, as a script reads them, and as the
// build prints them.

#include "BookCheck.h"

#include <nlohmann/json.hpp>

#include <string>

namespace folianto {

std::string KindName(TFindingKind kind);  // "error", "warning", "note"

// "page:line: kind: message", without ":line" for a finding about a whole entry.
std::string FindingLine(const TFinding& finding, const std::string& kind);

// "2 errors, 1 warning, 3 notes in 12 entries (5 pages, 2 style sheets)"
std::string CheckSummary(const TCheckResult& result);

// Every finding on its own line, then the summary.
std::string CheckReportText(const TCheckResult& result);

// {"book", "findings": [{"page", "line" (null for a whole entry), "kind", "message"}],
//  "errors", "warnings", "notes", "entries", "pages", "styleSheets"}
nlohmann::json CheckReportJson(const TCheckResult& result);

// What a build prints: errors and warnings as warnings (errors as errors when they stop a
// strict build), the notes as one count, then the summary. Empty when nothing was found.
std::string BuildCheckText(const TCheckResult& result, bool strict);

}  // namespace folianto
