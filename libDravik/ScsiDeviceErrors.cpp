// Texts for the outcome of a command: the one-line sense text and the error
// line of a result record, in English where the global locale is English and
// with codes in their place otherwise.
#include <cstdio>
#include <cstring>

#include "ScsiDevice.h"
#include "ScsiStrings.h"
#include "ScsiTexts.h"
#include "qln/Format.h"
#include "qln/System.h"

namespace scsi {

namespace {

bool present(const char* text) {
    return text[0] != '\0';
}

// The number text of a driver or host error code: hexadecimal, upper case,
// no leading zeros, followed by "H" (31 gives "1FH").
qln::String codeText(unsigned int code) {
    return qln::SprintfFormat("%XH", code).toString();
}

}  // namespace

qln::Buffer<char> ScsiDevice::getSenseErrStr(const sense_info& sense, bool withCodes) {
    const char* statusText = emptystr;
    const char* firstSeparator = emptystr;
    const char* keyText = emptystr;
    const char* secondSeparator = emptystr;
    const char* additionalText = emptystr;
    const char* blank = " ";
    char notInSpecText[100] = {0};

    if (!ScsiStrings::useEnglishStrings()) {
        blank = emptystr;
        withCodes = true;
    } else {
        if (sense.status != 0)
            statusText = getstatusstr(sense.status);
        if (sense.valid) {
            if (sense.senseKey != 0)
                keyText = getsensestr(sense.senseKey);
            additionalText = getASCerrstr(sense.asc, sense.ascq);
            if (additionalText == NOTINSPEC && !withCodes) {
                std::snprintf(notInSpecText, sizeof notInSpecText, "%s (ASC:%02Xh ASCQ:%02Xh)",
                              NOTINSPEC, static_cast<unsigned int>(sense.asc),
                              static_cast<unsigned int>(sense.ascq));
                additionalText = notInSpecText;
            }
        } else {
            additionalText = "No additional sense information available";
        }
        if (present(statusText) && (present(keyText) || present(additionalText)))
            firstSeparator = ": ";
        if (present(keyText) && present(additionalText))
            secondSeparator = " - ";
    }

    char line[512] = {0};
    const std::size_t limit = sizeof line - 1;
    int written;
    if (withCodes && sense.valid && sense.senseKey != 0 && (sense.asc != 0 || sense.ascq != 0)) {
        written = std::snprintf(line, limit + 1, "%s%s%s%s%s%s(SK:%02xh ASC:%02xh ASCQ:%02xh)",
                                statusText, firstSeparator, keyText, secondSeparator,
                                additionalText, blank, static_cast<unsigned int>(sense.senseKey),
                                static_cast<unsigned int>(sense.asc),
                                static_cast<unsigned int>(sense.ascq));
    } else {
        written = std::snprintf(line, limit + 1, "%s%s%s%s%s", statusText, firstSeparator,
                                keyText, secondSeparator, additionalText);
    }

    qln::Buffer<char> result;
    if (written <= 0 || static_cast<std::size_t>(written) > limit)
        return result;
    result.assign(line, static_cast<std::size_t>(written) + 1);
    return result;
}

qln::String ScsiDevice::getErrStr(const command_result_info& info) const {
    const qln::String& separator = ScsiStrings::SCSI_LOCALIZED_STR_SEPARATOR;
    const bool english = ScsiStrings::useEnglishStrings();
    const qln::String scsiError = strings.getLocalizedString(ScsiStrings::ScsiError);

    switch (static_cast<unsigned int>(info.result.code)) {
    case CMD_RESULT_OK:
    case CMD_RESULT_SCSI_ERROR: {
        qln::Buffer<char> senseText = getSenseErrStr(info.sense, false);
        if (senseText.getLength() > 1)
            return scsiError + separator + qln::String(senseText.getData());
        return scsiError + separator + strings.getLocalizedString(ScsiStrings::UnknownError);
    }
    case CMD_RESULT_INVALID_COMMAND:
        return scsiError + separator + strings.getLocalizedString(ScsiStrings::InvalidCommand);
    case CMD_RESULT_DRIVER_ERROR:
    case CMD_RESULT_HOST_ERROR: {
        const bool driver = info.result.code == CMD_RESULT_DRIVER_ERROR;
        const qln::String start =
            strings.getLocalizedString(driver ? ScsiStrings::DriverError : ScsiStrings::HostError)
                .replace("{errnum}", qln::String::EMPTY);
        // A device without a transport has nobody to ask for the error's
        // text; it shows the number as it does outside English.
        const ScsiDeviceAccessor* transport = accessor.get();
        qln::String number;
        bool answered = false;
        if (english && transport != nullptr) {
            answered = driver ? transport->getDriverErrStr(info.result.detail, number)
                              : transport->getHostErrStr(info.result.detail, number);
        }
        if (!answered)
            number = codeText(info.result.detail);
        return start + number;
    }
    case CMD_RESULT_TIMED_OUT:
        return scsiError + separator + strings.getLocalizedString(ScsiStrings::TimedOut);
    case CMD_RESULT_SYSTEM_ERROR:
        return strings.getLocalizedString(ScsiStrings::DriverError)
                   .replace("{errnum}", qln::String::EMPTY) +
               qln::System::getSystemErrorMsg(info.result.detail, !english);
    default:
        return scsiError + separator + strings.getLocalizedString(ScsiStrings::UnknownError);
    }
}

qln::String ScsiDevice::getLastErrStr() const {
    return getErrStr(resultData);
}

}  // namespace scsi
