#pragma once

// What the clock says about the keyboard's own reports: the outcome frames (status 2 … 12), the
// confirmation mode and the trade key it used. The reason texts are OutcomeMessages::reasonText.

#include <QString>

namespace OutcomeMessages {

// The text of a keyboard frame with status 2 … 12; empty means silence. keyFunction is the key
// the frame names (reasons 109 and 110 speak of buying for the keys 10 to 19).
QString keyboardReportText(int status, int reason, int keyFunction);

// The confirmation mode by the two switches: "买入需要确认", "买入和卖出交易都需要确认",
// "卖出需要确认", or "买卖都不需要确认" (that last one only when sayNeither is set).
QString confirmModeText(bool buyConfirm, bool sellConfirm, bool sayNeither = true);

// A trade key the keyboard used: its name, ",请确认" when the keyboard waits for a confirmation
// (reason 5), and the time the trade took when the keyboard measured one.
QString tradeKeyUsedText(const QString& keyFunctionName, int reason, int elapsedMs);

} // namespace OutcomeMessages
