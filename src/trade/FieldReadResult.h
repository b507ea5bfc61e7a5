#pragma once

// Result of reading one field of an order dialog (an int in logs and signals).
enum FieldReadResult : int
{
    FieldReadOk = 0,
    FieldIndexNotConfigured = 3, // the control index for this field is negative
    FieldNoDialog = 4,           // no dialog window was given
    FieldControlMissing = 6,     // the dialog has no control at the configured index
    FieldEmpty = 10,             // the control's text is empty (after cleaning)
    FieldInvalid = 11,           // the text is not a number of the field's kind
    FieldNegative = 12,          // the maximum quantity is negative
    // The control's window did not answer in time (a hung or very busy client): nothing is known
    // about its text, which must be taken neither for empty nor for a value.
    FieldNoAnswer = 13,
};
