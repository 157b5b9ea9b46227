// Program-wide settings of the tell-a-friend mail and the maker's addresses.
#pragma once

#include <QString>

namespace karvo::mailer {

// The program's title, shown in the tell-a-friend caption, the message and the boxes.
inline const QString kAppTitle = QStringLiteral("Karvo Backup");

// The maker's addresses. The mail server is spoken to on the SMTP port.
inline const QString kMakerMailServer = QStringLiteral("mail.tolvane.example");
inline constexpr quint16 kMailPort = 25;
inline const QString kProductPage = QStringLiteral("https://www.tolvane.example/karvo-backup/");
inline const QString kMakerWebSite = QStringLiteral("https://www.tolvane.example/");
inline const QString kMirror1 = QStringLiteral("https://mirror1.tolvane.example/");
inline const QString kMirror2 = QStringLiteral("https://mirror2.tolvane.example/");

// One set of mail settings for the whole program: the window fills them when it loads and when
// "&Send" is accepted; the SMTP session reads them.
namespace Tell {
inline QString sContentType;
inline QString sMailServer;
inline QString sMailFrom;
inline QString sMailTo;
inline QString sMailSubject;
}  // namespace Tell

}  // namespace karvo::mailer
