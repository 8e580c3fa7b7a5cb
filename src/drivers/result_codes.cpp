#include "drivers/result_codes.h"
#include "iconv/text_literal.h"

std::string ResultTextEn(int code)
{
    switch (code) {
    case CMD_RESULT_SUCCEED:
        return "Succeed";
    case CMD_RESULT_FAILED:
        return "Failed Unknown Reason";
    case CMD_RESULT_NOT_AT:
        return "Device Not AT";
    case CMD_RESULT_FOREIGN_DEVICE:
        return "Not Corvel Device";
    case CMD_RESULT_NO_SIM:
        return "No SIM CARD In Device";
    case CMD_RESULT_NO_SIGNAL:
        return "No Signal";
    case CMD_RESULT_NO_PORT:
        return "No Such Port";
    case CMD_RESULT_FOREIGN_SMS_DEVICE:
        return "Not Corvel Sms Device";
    case CMD_RESULT_SIM_PIN:
        return "SIM PIN required";
    case CMD_RESULT_SIM_PUK:
        return "SIM PUK required";
    case CMD_RESULT_NO_PIN_WAITED:
        return "No PIN required";
    case CMD_RESULT_NO_USSD:
        return "USSD not supported by the CDMA model";
    default:
        return "Unknown reason";
    }
}

std::string ResultTextZh(int code)
{
    switch (code) {
    case CMD_RESULT_SUCCEED:
        return GB("成功");
    case CMD_RESULT_FOREIGN_DEVICE:
    case CMD_RESULT_FOREIGN_SMS_DEVICE:
        return GB("不是Corvel短信设备");
    case CMD_RESULT_NO_SIM:
        return GB("设备未插卡");
    case CMD_RESULT_NO_SIGNAL:
        return GB("设备无信号");
    case CMD_RESULT_NO_PORT:
        return GB("没有此端口");
    case CMD_RESULT_SIM_PIN:
        return GB("SIM卡需要PIN码");
    case CMD_RESULT_SIM_PUK:
        return GB("SIM卡需要PUK码");
    case CMD_RESULT_NO_PIN_WAITED:
        return GB("SIM卡不需要PIN码");
    case CMD_RESULT_NO_USSD:
        return GB("CDMA设备不支持USSD");
    default:
        return GB("设备不AT");  // 1, 2 and every unknown code
    }
}

std::string DeviceTypeName(PHONE_TYPE_t type)
{
    switch (type) {
    case PHONE_TYPE_UN_KNOWN:
        return "PHONE_TYPE_UN_KNOWN";
    case PHONE_TYPE_VELT_B:
        return "VELT_B";
    case PHONE_TYPE_VELT_C:
        return "VELT-C-X";
    case PHONE_TYPE_VELT_D:
        return "VELT_D";
    case PHONE_TYPE_VELT_E:
        return "VELT_E";
    case PHONE_TYPE_VELT_F:
        return "VELT_F_X";
    case PHONE_TYPE_VELT_G:
        return "VELT_G";
    default:
        return "TYPE_UNKNOWN";  // the base driver (1) has no name of its own
    }
}
