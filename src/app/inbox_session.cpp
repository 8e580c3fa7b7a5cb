// Per-device inbox work: reading both storages, clearing them.

#include <memory>
#include <string>
#include <vector>

#include "app/application.h"
#include "codec/reply_text.h"
#include "transport/com_port.h"
#include "transport/sms_sequences.h"

namespace {

enum STORAGE_t { STORAGE_ME, STORAGE_SM, STORAGE_SR };

bool SelectStorage(CPhoneCardBase* driver, CComPortBase* port, STORAGE_t storage)
{
    switch (storage) {
    case STORAGE_ME:
        return RunDriverCommand(driver, port, driver->SelectMeStorageCommand(),
                                &CPhoneCardBase::ParseSelectMeStorage, ShortLimits(port->Pacing()));
    case STORAGE_SM:
        break;
    case STORAGE_SR:
        return RunDriverCommand(driver, port, driver->SelectSrStorageCommand(),
                                &CPhoneCardBase::ParseSelectSrStorage, ShortLimits(port->Pacing()));
    }
    return RunDriverCommand(driver, port, driver->SelectSmStorageCommand(),
                            &CPhoneCardBase::ParseSelectSmStorage, ShortLimits(port->Pacing()));
}

// Whether the module offers a storage of its own for status reports
// (AT+CPMS=?); the answer is kept by the driver.
bool OffersStatusReports(CPhoneCardBase* driver, CComPortBase* port)
{
    return RunDriverCommand(driver, port, driver->ReadStoragesCommand(),
                            &CPhoneCardBase::ParseReadStorages, ShortLimits(port->Pacing())) &&
           driver->OffersStatusReportStorage();
}

bool DeleteSelected(CPhoneCardBase* driver, CComPortBase* port, const std::string& command)
{
    return RunDriverCommand(driver, port, command, &CPhoneCardBase::ParseDeleteAll,
                            ShortLimits(port->Pacing()));
}

// The name of a storage in the inbox document.
const char* StorageName(STORAGE_t storage)
{
    switch (storage) {
    case STORAGE_ME:
        return "DEV";
    case STORAGE_SM:
        break;
    case STORAGE_SR:
        return "SR";
    }
    return "SIM";
}

// A line of the modem's as an error text shows it: at most 60 bytes.
std::string ShownLine(const std::string& line)
{
    constexpr std::size_t kShown = 60;
    return line.size() <= kShown ? line : line.substr(0, kShown) + "...";
}

// "<what> (<the modem's error line>)", or <what> alone when the failing
// step left no error line.
std::string WithErrorLine(const std::string& what, CPhoneCardBase* driver)
{
    const std::string line = driver->GetLastErrorText();
    return line.empty() ? what : what + " (" + line + ")";
}

// Reads the storage into the output lists when it can be selected and read;
// returns why the read is not complete (empty when it is).
std::string ReadStorage(CPhoneCardBase* driver, CComPortBase* port, STORAGE_t storage,
                        std::vector<SmsMessage>& messages, std::vector<int>& indexes,
                        std::vector<SmsUnreadable>& unreadable, bool& read, bool& complete)
{
    const std::string name = StorageName(storage);
    // The error line of a failing step is its own, not an earlier step's.
    driver->ClearLastError();
    if (!SelectStorage(driver, port, storage)) {
        return WithErrorLine(name + ": storage not selected", driver);
    }
    // A listing that fails may leave the driver's list as it was; without
    // this the SIM would be reported holding the modem memory's messages.
    driver->StartListing();
    bool listedAll = false;
    if (!ReadStoredMessages(driver, port, &listedAll)) {
        return WithErrorLine(name + ": not read", driver);
    }
    read = true;
    complete = listedAll;
    messages = driver->GetMessages();
    indexes = driver->GetListedIndexes();
    unreadable = driver->GetUnreadable();
    if (complete) {
        return std::string();
    }
    // A line the parse did not understand may stand for messages that were
    // not reported: the storage is not empty just because none was.
    const std::string& line = driver->NotUnderstoodLine();
    return line.empty() ? name + ": read in part"
                        : name + ": read in part (not understood: " + ShownLine(line) + ")";
}

// The inbox document's "error" of a read: the port's failure when it
// stopped working, else what each storage lacks.
std::string ReadError(const CComPortBase& port, const std::vector<std::string>& storages)
{
    if (port.IsFailed()) {
        return port.FailureText();
    }
    std::string error;
    for (const std::string& text : storages) {
        if (!text.empty()) {
            error += (error.empty() ? "" : "; ") + text;
        }
    }
    return error;
}

// Deletes one by one what a complete read of the storage returned.
bool DeleteListed(CPhoneCardBase* driver, CComPortBase* port, STORAGE_t storage,
                  const std::vector<int>& indexes)
{
    if (indexes.empty()) {
        return true;
    }
    if (!SelectStorage(driver, port, storage)) {
        return false;
    }
    bool allDeleted = true;
    for (int index : indexes) {
        // A failed deletion must not keep the others from being tried.
        if (!DeleteSelected(driver, port, driver->DeleteOneCommand(index))) {
            allDeleted = false;
        }
    }
    return allDeleted;
}

}  // namespace

INBOX_READ_t ReadInbox(COM_DEVICE_t device)
{
    INBOX_READ_t read;
    CComPortBase port(device.port, device.nBaud, device.pacing, device.stop);
    const std::unique_ptr<CPhoneCardBase> driver = CreatePhoneCard(device.nDeviceType);
    const bool opened = port.Open();
    RunInitCommands(driver.get(), &port);
    if (driver) {
        read.bHasDriver = true;
        const std::string me =
            ReadStorage(driver.get(), &port, STORAGE_ME, read.vecMe, read.vecMeIndexes,
                        read.vecMeUnreadable, read.bMeRead, read.bMeComplete);
        const std::string sm =
            ReadStorage(driver.get(), &port, STORAGE_SM, read.vecSm, read.vecSmIndexes,
                        read.vecSmUnreadable, read.bSmRead, read.bSmComplete);
        std::string sr;
        read.bSrOffered = OffersStatusReports(driver.get(), &port);
        if (read.bSrOffered) {
            sr = ReadStorage(driver.get(), &port, STORAGE_SR, read.vecSr, read.vecSrIndexes,
                             read.vecSrUnreadable, read.bSrRead, read.bSrComplete);
        }
        read.strError = opened ? ReadError(port, {me, sm, sr}) : TrimCrLf(port.GetErrorText());
    } else {
        read.strError = ResultTextEn(CMD_RESULT_FOREIGN_DEVICE);
    }
    read.errors = DeviceErrors(driver.get(), port);
    return read;
}

bool ClearInbox(COM_DEVICE_t device)
{
    const std::unique_ptr<CPhoneCardBase> driver = CreatePhoneCard(device.nDeviceType);
    CComPortBase port(device.port, device.nBaud, device.pacing, device.stop);
    if (!driver || !port.Open()) {
        return false;
    }
    // Both storages, each selected first: deleting "whatever is selected"
    // would leave the other storage full and report it cleared.
    const std::string deleteAll = driver->DeleteAllCommand();
    const bool meCleared = SelectStorage(driver.get(), &port, STORAGE_ME) &&
                           DeleteSelected(driver.get(), &port, deleteAll);
    const bool smCleared = SelectStorage(driver.get(), &port, STORAGE_SM) &&
                           DeleteSelected(driver.get(), &port, deleteAll);
    const bool srCleared = !OffersStatusReports(driver.get(), &port) ||
                           (SelectStorage(driver.get(), &port, STORAGE_SR) &&
                            DeleteSelected(driver.get(), &port, deleteAll));
    port.Close();
    return meCleared && smCleared && srCleared;
}

bool ClearReadMessages(COM_DEVICE_t device, const INBOX_READ_t& read)
{
    if (!read.bMeComplete && !read.bSmComplete && !read.bSrComplete) {
        return false;
    }
    const std::unique_ptr<CPhoneCardBase> driver = CreatePhoneCard(device.nDeviceType);
    CComPortBase port(device.port, device.nBaud, device.pacing, device.stop);
    if (!driver || !port.Open()) {
        return false;
    }
    // A storage read only in part keeps all its messages (what was not
    // reported must not go), and the device does not count as cleared.
    bool cleared = read.bMeComplete && read.bSmComplete && (!read.bSrOffered || read.bSrComplete);
    if (read.bMeComplete && !DeleteListed(driver.get(), &port, STORAGE_ME, read.vecMeIndexes)) {
        cleared = false;
    }
    if (read.bSmComplete && !DeleteListed(driver.get(), &port, STORAGE_SM, read.vecSmIndexes)) {
        cleared = false;
    }
    if (read.bSrComplete && !DeleteListed(driver.get(), &port, STORAGE_SR, read.vecSrIndexes)) {
        cleared = false;
    }
    port.Close();
    return cleared;
}
