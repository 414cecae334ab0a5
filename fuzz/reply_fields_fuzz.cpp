// libFuzzer target: raw bytes as a datagram through the probe's own decoder (fixed fields, the option walk
// with overload and repeats) and its JSON line. The datagram lies in a buffer of exactly its size, so any
// read past its end stops the run; the JSON must parse back and agree with the fields.
#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "cli/json_report.h"
#include "cli/reply_flags.h"
#include "protocol/reply_fields.h"

namespace {

void check(bool holds, const char* what)
{
    if (holds) return;
    std::fprintf(stderr, "reply_fields_fuzz: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 1400) return -1;
    const std::vector<std::uint8_t> datagram(data, data + size);
    ReplyRecord reply;
    reply.source.address = {192, 168, 77, 3};
    reply.interface = "eth0";
    reply.length = size;
    reply.fields = decode_reply_fields(datagram.data(), datagram.size());
    const ReplyFields& fields = reply.fields;
    check(fields.has_header == (size >= kBootpHeaderSize), "header presence");
    std::size_t option_bytes = 0;
    for (const DhcpOption& option : fields.walk.options) {
        std::size_t parts = 0;
        for (const std::size_t length : option.part_lengths) parts += length;
        check(parts == option.data.size(), "the parts do not add up to the option");
        check(option.code != 0 && option.code != 255, "pad or end taken as an option");
        option_bytes += option.data.size() + 2 * option.part_lengths.size();
        option_value_fits(option);
    }
    // Every option byte and its code and length byte came from the options, file or sname fields.
    check(option_bytes <= (size > 240 ? size - 240 : 0) + 64 + 128, "more option bytes than fields");
    Tally tally;
    tally_reply(tally, reply, {{192, 168, 77, 1}});
    const ReplyFlags flags = judge_reply(reply, tally, {{192, 168, 77, 1}});
    const nlohmann::json line = nlohmann::json::parse(reply_json(reply, flags, {{192, 168, 77, 1}}));
    check(line["options"].size() == fields.walk.options.size(), "an option missing from the JSON");
    check(line["server_identifier"].is_null() != fields.has_server_identifier, "server identifier in JSON");
    check(line["flags"]["no_server_identifier"] == !fields.has_server_identifier, "flag and field disagree");
    return 0;
}
