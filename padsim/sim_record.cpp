#include "padsim/sim_record.h"

std::vector<uint8_t> TypedRecord(uint32_t type, const std::vector<uint8_t>& body)
{
    std::vector<uint8_t> record(SIM_TYPE_SIZE + body.size());
    for (size_t i = 0; i < SIM_TYPE_SIZE; ++i) {
        record[i] = static_cast<uint8_t>(type >> (8 * i));
    }
    for (size_t i = 0; i < body.size(); ++i) {
        record[SIM_TYPE_SIZE + i] = body[i];
    }
    return record;
}

std::vector<uint8_t> StatusRecord(uint8_t buttonFlags, uint8_t fingers, uint8_t contact)
{
    std::vector<uint8_t> body(SIM_STATUS_RECORD_SIZE - SIM_TYPE_SIZE, 0);
    body[SIM_STATUS_BUTTONS_OFFSET - SIM_TYPE_SIZE] = buttonFlags;
    body[SIM_STATUS_FINGERS_OFFSET - SIM_TYPE_SIZE] = fingers;
    body[SIM_STATUS_CONTACT_OFFSET - SIM_TYPE_SIZE] = contact;
    return TypedRecord(SIM_REPORT_STATUS, body);
}

std::vector<uint8_t> RawRecord(size_t payloadSize)
{
    std::vector<uint8_t> body(payloadSize);
    for (size_t i = 0; i < payloadSize; ++i) {
        body[i] = static_cast<uint8_t>(i);
    }
    return TypedRecord(SIM_REPORT_RAW, body);
}

uint32_t RecordType(const uint8_t* record, size_t size)
{
    if (record == nullptr || size < SIM_TYPE_SIZE) {
        return 0;
    }
    return static_cast<uint32_t>(record[0]) | static_cast<uint32_t>(record[1]) << 8 |
           static_cast<uint32_t>(record[2]) << 16 | static_cast<uint32_t>(record[3]) << 24;
}
