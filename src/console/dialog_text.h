#pragma once
// The texts of the dialogues, composed by pure functions: lines with their
// colours, which the dialogues write with one call (ConsoleWriteStyled).
// `columns` is the width of the terminal (ConsoleColumns(); 0 for none):
// texts from modems and the network are laid out for it (screen_text.h).

#include <string>
#include <vector>

#include "app/application.h"
#include "drivers/sms_message.h"
#include "platform/styled_text.h"

// The line of one send result: green when sent, red with the reason when not
// (the result's message, else the Chinese text of its code, with what was
// wrong with an unusable device in brackets).
CStyledText SendResultLine(const SEND_RESULT_t& result, int columns);

// The messages of one storage, each numbered between separators with its
// sender, time and text.
CStyledText MessagesText(const std::vector<SmsMessage>& messages, int columns);

// The stored messages of one storage that could not be read, after a red
// title line naming the storage ("SIM卡中" / "设备中"): storage index and PDU
// line of each, between separators; nothing when there are none.
CStyledText UnreadableText(const std::string& where, const std::vector<SmsUnreadable>& entries,
                           int columns);

// The receive dialogue's block of one device: the failure line with its
// reason when neither storage could be read; otherwise the count, then the
// SIM's messages and the modem memory's, each with its unreadable ones.
CStyledText DeviceReadText(const COM_DEVICE_t& device, const INBOX_READ_t& read, int columns);
