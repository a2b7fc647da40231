#include "viewer/title.h"

#include "foundation/file_name.h"
#include "foundation/string_builder.h"
#include "viewer/app_frame.h"

using Brivox::IntToString;
using Brivox::String;

Brivox::String FormatViewRate(double scale)
{
    const int tenths = static_cast<int>(scale * 1000);
    return Brivox::DoubleToDisplayString(tenths * 0.1) + L"%";
}

std::vector<std::pair<String, String>> TitleVariables(const STitleFacts& facts)
{
    const String& path = facts.path;
    const String folder =
        path.Length() == 0
            ? String()
            : Brivox::CFileName::RemoveTrailingSeparator(Brivox::CFileName::GetDirectory(path));
    const Brivox::CRect selection =
        facts.selection.value_or(Brivox::CRect{0, 0, facts.image.cx, facts.image.cy});
    return {
        {L"$(dir)", folder},
        {L"$(file)", Brivox::CFileName::GetFileNameWithoutExtension(path)},
        {L"$(ext)", Brivox::CFileName::GetExtension(path)},
        {L"$(name)", Brivox::CFileName::GetFileName(path)},
        {L"$(full)", path},
        {L"$(index)", IntToString(facts.index)},
        {L"$(count)", IntToString(facts.count)},
        {L"$(marks)", IntToString(facts.marks)},
        {L"$(imgw)", IntToString(facts.image.cx)},
        {L"$(imgh)", IntToString(facts.image.cy)},
        {L"$(fsize)", IntToString(facts.fileSizeKiB)},
        {L"$(imgtype)", facts.imageType},
        {L"$(viewrate)", FormatViewRate(facts.scale)},
        {L"$(selx)", IntToString(selection.left)},
        {L"$(sely)", IntToString(selection.top)},
        {L"$(selw)", IntToString(selection.Width())},
        {L"$(selh)", IntToString(selection.Height())},
        {L"$(build)", Brivox::GetBuildString()},
    };
}

String ExpandTemplateOnce(const String& text, const std::vector<std::pair<String, String>>& variables)
{
    Brivox::StringBuilder out;
    const int length = text.Length();
    int copied = 0;
    int at = 0;
    while (at < length) {
        const int start = text.IndexOf(L'$', at, length - at);
        if (start < 0)
            break;
        const std::pair<String, String>* match = nullptr;
        for (const auto& variable : variables) {
            const int size = variable.first.Length();
            if (size > 0 && start + size <= length && text.Compare(start, variable.first, 0, size, 0) == 0) {
                match = &variable;
                break;
            }
        }
        if (!match) {
            at = start + 1;
            continue;
        }
        out.Append(text.Substring(copied, start - copied));
        out.Append(match->second);
        at = copied = start + match->first.Length();
    }
    if (copied == 0)
        return text;
    out.Append(text.Substring(copied, length - copied));
    return out.ToString();
}

String BuildTitle(const String& titleTemplate, const STitleFacts& facts)
{
    return ExpandTemplateOnce(titleTemplate, TitleVariables(facts));
}

String BuildSaveName(const SSaveNameFacts& facts)
{
    using Brivox::CFileName;
    String prefix;
    const String& archive = facts.outermostArchive;
    if (archive.Length() > 0) {
        if (facts.useArchive)
            prefix = prefix + CFileName::GetFileNameWithoutExtension(archive) + L"\\";
        if (facts.useArchiveFolder) {
            // The entry's folder with the archive's path and the one separator after it cut off;
            // an entry at the archive's root adds nothing.
            const String folder = CFileName::GetDirectory(facts.path);
            const int cut = archive.Length() + 1;
            if (folder.Length() > cut)
                prefix = prefix + folder.Substring(cut);
        }
    }
    prefix = prefix.Replace(L'/', L'\\').ReplaceAll(L"\\\\", L"\\").ReplaceAll(L"\\", facts.separator);
    return prefix + CFileName::GetFileNameWithoutExtension(facts.path);
}
