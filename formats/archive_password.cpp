#include "formats/archive_password.h"

namespace Brivox {

CStoredPasswordQuery::CStoredPasswordQuery(IQueryArchivePassword* fallback)
    : m_fallback(fallback), m_passwords(std::make_shared<const std::vector<String>>())
{
}

void CStoredPasswordQuery::SetStoredPasswords(const String& text)
{
    auto passwords = std::make_shared<const std::vector<String>>(text.Split(MakeCharList(L'\n')));
    std::lock_guard<std::mutex> lock(m_lock);
    m_passwords = std::move(passwords);
}

bool CStoredPasswordQuery::Query(const String& archivePath, String& password, int attempt)
{
    std::shared_ptr<const std::vector<String>> passwords;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        passwords = m_passwords;
    }
    if (attempt >= 0 && static_cast<std::size_t>(attempt) < passwords->size()) {
        password = (*passwords)[static_cast<std::size_t>(attempt)];
        return true;
    }
    // The fallback may show a dialog: no lock is held while it runs.
    return m_fallback && m_fallback->Query(archivePath, password, attempt);
}

} // namespace Brivox
