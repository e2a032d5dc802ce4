#include "CheckReport.h"

namespace folianto {

namespace {

std::string Counted(std::size_t count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::string KindName(TFindingKind kind)
{
    switch (kind) {
    case TFindingKind::Error: return "error";
    case TFindingKind::Warning: return "warning";
    case TFindingKind::Note: return "note";
    }
    return "error";
}

std::string FindingLine(const TFinding& finding, const std::string& kind)
{
    std::string line = finding.Page;
    if (finding.Line > 0)
        line += ":" + std::to_string(finding.Line);
    return line + ": " + kind + ": " + finding.Message;
}

std::string CheckSummary(const TCheckResult& result)
{
    return Counted(result.Count(TFindingKind::Error), "error", "errors") + ", " +
           Counted(result.Count(TFindingKind::Warning), "warning", "warnings") + ", " +
           Counted(result.Count(TFindingKind::Note), "note", "notes") + " in " +
           Counted(result.Entries, "entry", "entries") + " (" + Counted(result.Pages, "page", "pages") + ", " +
           Counted(result.StyleSheets, "style sheet", "style sheets") + ")";
}

std::string CheckReportText(const TCheckResult& result)
{
    std::string text;
    for (const auto& finding : result.Findings)
        text += FindingLine(finding, KindName(finding.Kind)) + "\n";
    return text + CheckSummary(result) + "\n";
}

nlohmann::json CheckReportJson(const TCheckResult& result)
{
    nlohmann::json findings = nlohmann::json::array();
    for (const auto& finding : result.Findings) {
        findings.push_back({{"page", finding.Page},
                            {"line", finding.Line > 0 ? nlohmann::json(finding.Line) : nlohmann::json(nullptr)},
                            {"kind", KindName(finding.Kind)},
                            {"message", finding.Message}});
    }
    return {{"book", result.Source},
            {"findings", std::move(findings)},
            {"errors", result.Count(TFindingKind::Error)},
            {"warnings", result.Count(TFindingKind::Warning)},
            {"notes", result.Count(TFindingKind::Note)},
            {"entries", result.Entries},
            {"pages", result.Pages},
            {"styleSheets", result.StyleSheets}};
}

std::string BuildCheckText(const TCheckResult& result, bool strict)
{
    if (result.Findings.empty())
        return {};
    std::string text;
    for (const auto& finding : result.Findings) {
        if (finding.Kind == TFindingKind::Note)
            continue;
        const bool stops = strict && finding.Kind == TFindingKind::Error;
        text += FindingLine(finding, stops ? "error" : "warning") + "\n";
    }
    if (const std::size_t notes = result.Count(TFindingKind::Note))
        text += Counted(notes, "entry is", "entries are") +
                " not reached from the start page; \"folianto-pack check\" lists them\n";
    return text + "check: " + CheckSummary(result) + "\n";
}

}  // namespace folianto
