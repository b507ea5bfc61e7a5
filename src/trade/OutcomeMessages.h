#pragma once

// What the user hears about a trade: the spoken texts of the reasons the order dialog worker and
// the keyboard give, and of the worker's notices.

#include <QString>

namespace OutcomeMessages {

// Reasons are told by two sources whose texts differ in a few places.
enum class Source
{
    Notice,        // the order dialog worker's notice (action, reason)
    KeyboardReport // an outcome the keyboard reports in its state frame
};

// The text of a reason, empty for a reason without one. keyFunction is the key the keyboard
// reports (reasons 109 and 110 of a keyboard report speak of buying for the keys 10 to 19).
QString reasonText(int reason, Source source = Source::Notice, int keyFunction = 0);

// What a notice of the worker says: 255 is the order-submitted notice; 64 and 128 speak their
// reason; 128 without a known reason speaks "交易取消". Empty means silence.
QString noticeText(int action, int reason);

} // namespace OutcomeMessages
