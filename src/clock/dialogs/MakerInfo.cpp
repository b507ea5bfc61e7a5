#include "clock/dialogs/MakerInfo.h"

namespace MakerInfo {

const char* const kApplicationDisplayName = "灵拓键盘专业版";
const char* const kVersion = "3.4.2";
const char* const kDescription = "专业的证券交易键盘软件";
const char* const kWebSite = "https://www.zentrik.com.cn";
const char* const kOwnershipNotice = "© 2024 灵拓软件 版权所有";
// Read by scripts/make-resources: keep it on one line.
const char* const kSupportChatLink = "https://work.weixin.qq.com/kfid/kfc5a7e2c9d41b3f08e";
const char* const kSupportChatAccount = "灵拓软件客服 (微信号 ZentrikSoft)";
const char* const kSupportEmail = "support@zentrik.com.cn";
const char* const kWeChatDownloadPage = "https://pc.weixin.qq.com/";
const char* const kServiceHours = "工作日: 8:00-22:00";

} // namespace MakerInfo
