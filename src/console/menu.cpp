// The interactive menu loop: table, menu line, one key per turn.

#include <vector>

#include "console/console.h"
#include "iconv/text_literal.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "scan/port_scan.h"

namespace {

enum MENU_ACTION_t {
    MENU_ACTION_NONE = 0,
    MENU_ACTION_REFRESH = 1,
    MENU_ACTION_SEND = 4,
    MENU_ACTION_RECEIVE = 7,
    MENU_ACTION_PORT_CHECK = 8,
    MENU_ACTION_QUIT = 10,
};

const int kKeyEnter = 13;

}  // namespace

int CConsole::ShowMenu()
{
    PrintPortTable();
    ConsoleWrite(GB("回车键刷新 1发送短信 2接收短信 q退出\n"));
    switch (ConsoleReadKey()) {
    case kKeyEnter:
        return MENU_ACTION_REFRESH;
    case '1':
        return MENU_ACTION_SEND;
    case '2':
        return MENU_ACTION_RECEIVE;
    case 'd':
        return MENU_ACTION_PORT_CHECK;
    case 'q':
        return MENU_ACTION_QUIT;
    default:
        // Arrow and function keys arrive as two codes; the second is swallowed
        // here, and so is whatever follows an ordinary unlisted key.
        ConsoleReadKey();
        return MENU_ACTION_NONE;
    }
}

int CConsole::RunMenuLoop()
{
    for (;;) {
        switch (ShowMenu()) {
        case MENU_ACTION_REFRESH:
            // The next turn scans again: the table after Enter is the second scan.
            m_app.RefreshPorts();
            break;
        case MENU_ACTION_SEND:
            SendDialog();
            break;
        case MENU_ACTION_RECEIVE:
            ReceiveDialog();
            break;
        case MENU_ACTION_PORT_CHECK: {
            std::vector<COM_DEVICE_t> devices;
            AskPorts(devices);
            break;
        }
        case MENU_ACTION_QUIT:
            return 0;
        default:
            break;
        }
    }
}

void CConsole::PrintPortTable()
{
    m_app.RefreshPorts();
    CleanPortFields(m_app.m_vecCheckResults);
    ConsoleWrite(FormatPortTable(PortViews(m_app.m_vecCheckResults), NowText(), m_app.m_strCostText,
                                 ConsoleColumns()));
}

int RunConsole(CApplication& app)
{
    return CConsole(app).RunMenuLoop();
}
