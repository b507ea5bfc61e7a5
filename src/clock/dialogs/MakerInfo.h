#pragma once

// Who makes the program and how users reach them: shown by the about box and the
// customer-service dialog. scripts/make-resources reads kSupportChatLink from MakerInfo.cpp to
// draw the QR code (":/img/wxqrcode.png"), so the picture and the button lead to the same chat.

namespace MakerInfo {

extern const char* const kApplicationDisplayName; // "灵拓键盘专业版"
extern const char* const kVersion;
extern const char* const kDescription;
extern const char* const kWebSite;
extern const char* const kOwnershipNotice;
extern const char* const kSupportChatLink;
extern const char* const kSupportChatAccount;
extern const char* const kSupportEmail;
extern const char* const kWeChatDownloadPage;
extern const char* const kServiceHours;

} // namespace MakerInfo
