// Program-wide settings of the tell-a-friend mail and the maker's addresses.
#pragma once

#include <string>

namespace karvo::mailer {

// The program's title, shown in the tell-a-friend caption, the message and the boxes.
inline constexpr const char* kAppTitle = "Karvo Backup";

// The maker's addresses. The mail server is spoken to on the SMTP port.
inline constexpr const char* kMakerMailServer = "mail.tolvane.example";
inline constexpr int kMailPort = 25;
inline constexpr const char* kProductPage = "https://www.tolvane.example/karvo-backup/";
inline constexpr const char* kMakerWebSite = "https://www.tolvane.example/";
inline constexpr const char* kMirror1 = "https://mirror1.tolvane.example/";
inline constexpr const char* kMirror2 = "https://mirror2.tolvane.example/";

// One set of mail settings for the whole program: the window fills them when it loads and when
// "&Send" is accepted; the SMTP session reads them.
namespace Tell {
inline std::string sContentType;
inline std::string sMailServer;
inline std::string sMailFrom;
inline std::string sMailTo;
inline std::string sMailSubject;
}  // namespace Tell

}  // namespace karvo::mailer
