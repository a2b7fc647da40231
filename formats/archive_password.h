#pragma once
// The passwords tried on encrypted archives before the user is asked.

#include "formats/archiver.h"

#include <memory>
#include <mutex>
#include <vector>

namespace Brivox {

// Answers attempt n with stored password n while there are stored passwords, and hands later
// attempts, unchanged, to the fallback (the user's password dialog). Readers call it on their
// extracting threads while the settings may replace the passwords on another.
class CStoredPasswordQuery : public IQueryArchivePassword
{
public:
    // The fallback is not owned; null answers every later attempt with false.
    explicit CStoredPasswordQuery(IQueryArchivePassword* fallback);

    // The settings text: one password per line feed, empty pieces kept, so that an empty text
    // is one empty password, tried first.
    void SetStoredPasswords(const String& text);
    bool Query(const String& archivePath, String& password, int attempt) override;

private:
    IQueryArchivePassword* m_fallback;
    std::mutex m_lock;
    std::shared_ptr<const std::vector<String>> m_passwords;
};

} // namespace Brivox
