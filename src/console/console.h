#pragma once
// The interactive console: the port table, the menu line and its keys, and
// the send and receive dialogues, over the application's scan and commands
// (app/application.h). The program runs it when it is started without
// arguments.

#include <functional>
#include <string>
#include <vector>

#include "app/application.h"

class CConsole {
public:
    explicit CConsole(CApplication& app) : m_app(app) {}

    // Turns of ShowMenu until "q" (or the end of input); returns 0.
    int RunMenuLoop();
    // Scans and prints the table and the menu line, then reads one key:
    // Enter rescans, "1" sends, "2" receives, "d" checks ports, "q" quits.
    int ShowMenu();
    // Scans, cleans the records' fields and prints the port table.
    void PrintPortTable();

    // Numbers, ports and a text are asked for, then the text is sent; each
    // result is printed as it comes.
    void SendDialog();
    // Ports are asked for, then every inbox is read and printed, with the
    // time the reading took.
    void ReceiveDialog();
    // Each asks up to three times; false (after a line saying so) when no
    // answer was usable.
    bool AskNumbers(std::vector<std::string>& numbers);
    // `servedElsewhere`: as CApplication::DiscoverDevices takes it.
    bool AskPorts(std::vector<COM_DEVICE_t>& devices,
                  const std::function<bool(const COM_PORT_t&)>& servedElsewhere = {});
    // An empty answer is the default text; always true.
    bool AskText(std::string& text);
    // Reads the devices at once and prints the block of each, in device order.
    void ReceiveAll(const std::vector<COM_DEVICE_t>& devices);

private:
    CApplication& m_app;
};

// The interactive mode of CApplication::Run: the menu loop over `app`.
int RunConsole(CApplication& app);
