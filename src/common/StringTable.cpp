#include "common/StringTable.h"

#include <unordered_map>

namespace qp {
namespace {

// clang-format off
const std::unordered_map<int, const char*>& Table() {
    static const std::unordered_map<int, const char*> table = {
        // Success and file-system codes (11000 + code).
        {11000, "OK"},
        {11002, "File not found"},
        {11003, "Path not found"},
        {11004, "Too many open files"},
        {11005, "File access denied"},
        {11006, "Invalid file handle"},
        {11008, "Insufficient memory"},
        {11015, "Invalid drive"},
        {11018, "No more files"},
        // Run-time I/O codes 100..199 (11800 + code).
        {11900, "Attempt to read beyond end of file"},
        {11901, "Disk is full"},
        {11902, "File/device not assigned"},
        {11903, "File/device not open"},
        {11904, "File/device not open for input"},
        {11905, "File/device not open for output"},
        {11950, "Disk is write-protected"},
        {11951, "Unknown disk unit"},
        {11952, "Drive is not ready"},
        {11953, "Unknown command"},
        {11954, "Data error"},
        {11955, "Bad request structure length"},
        {11956, "Seek error"},
        {11957, "Unknown media type"},
        {11958, "Disk sector not found"},
        {11959, "Printer is out of paper"},
        {11960, "Device write error"},
        {11961, "Device read error"},
        {11962, "General failure"},
        // General codes -1xxx.
        {11101, "Bad handle passed to com function"},
        {11102, "Bad argument passed to function"},
        {11103, "Got quit message"},
        {11105, "ComPort component not assigned"},
        {11106, "Internal error creating window class"},
        // Port open codes -2xxx.
        {11201, "ie_BadId - Specified comport doesn't exist"},
        {11202, "ie_Baudrate - unsupported baud rate"},
        {11203, "ie_Bytesize - invalid byte size"},
        {11204, "ie_Default - error in default parameters"},
        {11205, "ie_Hardware - Specified comport in use"},
        {11206, "ie_Memory - unable to allocate queues"},
        {11207, "ie_NOpen - device not open"},
        {11208, "ie_Open - device already open"},
        {11209, "No more handles, can't open port"},
        {11210, "No timers available"},
        {11211, "The ComNumber property of the TQpComPort has not been set"},
        // Device codes -3xxx.
        {11301, "No device layer specified"},
        {11302, "Function not supported by driver"},
        {11303, "EnableCommNotification failed"},
        {11304, "Failed to put entire block"},
        {11305, "Failed to get entire block"},
        {11306, "Output buffer too small for block"},
        {11307, "Buffer is empty"},
        {11308, "Tracing not enabled"},
        {11309, "Logging not enabled"},
        // Trigger codes -5xxx.
        {11501, "No more trigger slots"},
        {11502, "Data trigger too long"},
        {11503, "Bad trigger handle"},
        // Protocol codes -6xxx.
        {11605, "Cancel requested"},
        {11606, "Fatal time out"},
        {11610, "No filename specified in protocol receive"},
        {11611, "File was rejected"},
        // Fax image and fax session codes -8xxx.
        {11801, "File is not an APF file"},
        {11802, "Unsupported graphics file format"},
        {11803, "User aborted fax conversion"},
        {11805, "CreateBitmapIndirect API failure"},
        {11850, "no image loaded into viewer"},
        {11851, "no block of image marked"},
        {11870, "Fax incompatible with remote fax"},
        {11871, "Bad response from modem"},
        {11872, "Modems failed to train"},
        {11873, "Error while initializing modem"},
        {11874, "Called fax number was busy"},
        {11875, "Called fax number answered with voice"},
        {11876, "Incoming data call"},
        {11877, "No dial tone"},
        {11878, "Failed to connect to remote fax"},
        {11879, "Fax failed in mid-session"},
        {11880, "Fax failed at page end"},
        {11882, "Multiple resolutions per session not supported"},
        // Fax status texts (13000 + status code).
        {13001, "Initializing modem for fax processing"},
        {13002, "Dialing"},
        {13003, "Busy, waiting until redial..."},
        {13004, "Sending page data"},
        {13005, "Sending EOP"},
        {13006, "Error sending page"},
        {13007, "Page accepted by remote"},
        {13020, "Waiting for incoming call"},
        {13021, "No connect on this call"},
        {13022, "Answering incoming call"},
        {13023, "Incoming call validated as fax"},
        {13024, "Getting page data"},
        {13025, "Getting end-of-page signal"},
        {13026, "Getting end-of-document status"},
        {13027, "Getting hangup command"},
        {13028, "Got Class 2 FHNG code"},
        {13040, "Getting connection params"},
        {13041, "Got called-station ID"},
        {13042, "User abort"},
        {13043, "Finished"},
    };
    return table;
}
// clang-format on

} // namespace

std::optional<std::string> ResourceString(int resourceId) {
    const auto& table = Table();
    auto it = table.find(resourceId);
    if (it == table.end()) {
        return std::nullopt;
    }
    return std::string(it->second);
}

} // namespace qp
