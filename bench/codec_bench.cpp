// The PDU codec and the listing parse, with Google Benchmark.
//
//   build/bench/codec_bench [--benchmark_filter=...]
//
// - building SMS-SUBMIT PDUs: one short UCS-2 text, and a 200-character
//   Chinese text as three concatenated parts;
// - decoding SMS-DELIVER PDUs (default alphabet, UCS-2, one part);
// - the base driver's listing parse of a 255-message listing fed as the
//   transaction feeds it: the parser gets the whole reply so far after every
//   poll; at most that is one read of 512 bytes, so the listing is offered
//   in prefixes growing by 512 bytes. Its total cost must stay linear in
//   the listing's length: the time per listing is the figure to watch.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "codec/pdu.h"
#include "drivers/phone_card_base.h"

namespace {

// Stored SMS-DELIVER PDUs, encoded with python3-gammu 3.2.4 EncodePDU and
// checked with gammu.DecodePDU (tests/data/drivers/base/list_order.txt and
// list_concat_out_of_order.txt): a default-alphabet text, a UCS-2 text, and
// part 1 of a three-part UCS-2 message whose reference octet and part number
// are set per message below.
const char kSeptets[] =
    "0891683108100005F00405810180F60000421020304050000DC2303BEC1E97413199AB0603";
const char kUcs2[] = "0891683108100005F0040B813119325476F9000812305001112100084F60597D4E16754C";
const char kPartHead[] = "0891683108100005F0440B813107001011F10008123060102030000C050003";
const char kPartText[] = "7B2C4E006BB5";

std::string HexByte(unsigned value)
{
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", value & 0xFFu);
    return hex;
}

std::string ListingEntry(int index, const std::string& pdu)
{
    const unsigned scaOctets = std::stoul(pdu.substr(0, 2), nullptr, 16);
    const std::size_t tpdu = pdu.size() / 2 - scaOctets - 1;
    return "+CMGL: " + std::to_string(index) + ",1,," + std::to_string(tpdu) + "\r\n" + pdu +
           "\r\n";
}

// 255 stored messages: 105 single ones, then 50 messages of three parts,
// the parts of each listed out of order.
const std::string& Listing255()
{
    static const std::string listing = [] {
        std::string text = "AT+CMGL=4\r\r\n";
        int index = 1;
        for (int i = 0; i < 105; ++i, ++index) {
            text += ListingEntry(index, i % 2 == 0 ? kSeptets : kUcs2);
        }
        for (int message = 0; message < 50; ++message) {
            for (int part : {3, 1, 2}) {
                const std::string pdu = std::string(kPartHead) + HexByte(message + 1) + "03" +
                                        HexByte(part) + kPartText;
                text += ListingEntry(index++, pdu);
            }
        }
        return text + "\r\nOK\r\n";
    }();
    return listing;
}

void BM_BuildShortSubmit(benchmark::State& state)
{
    SMS_SUBMIT_REQUEST_t request;
    request.strServiceCentre = "+8613800100500";
    request.strNumber = "13800138000";
    request.bNational = true;
    request.strText = "Meeting moved to 10:30";
    for (auto _ : state) {
        benchmark::DoNotOptimize(BuildSubmitPdu(request));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BuildShortSubmit);

void BM_BuildThreePartChinese(benchmark::State& state)
{
    // 200 characters in the internal code page (GB18030), as typed.
    std::string text;
    for (int i = 0; i < 50; ++i) {
        text += "\xC4\xE3\xBA\xC3\xCA\xC0\xBD\xE7";  // 你好世界
    }
    SMS_SUBMIT_REQUEST_t request;
    request.strServiceCentre = "8613800100500";
    request.strNumber = "13800138000";
    request.bNational = true;
    request.strText = text;
    for (auto _ : state) {
        const std::vector<std::string> parts = BuildConcatPdus(request).vecPdus;
        if (parts.size() != 3) {
            state.SkipWithError("not three parts");
            break;
        }
        benchmark::DoNotOptimize(parts.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BuildThreePartChinese);

void BM_DecodeDeliver(benchmark::State& state)
{
    const std::string pdus[] = {kSeptets, kUcs2, std::string(kPartHead) + "510301" + kPartText};
    for (auto _ : state) {
        for (const std::string& pdu : pdus) {
            const SMS_PDU_t decoded = DecodeDeliverPdu(pdu);
            benchmark::DoNotOptimize(decoded.strText.data());
        }
    }
    state.SetItemsProcessed(state.iterations() * 3);
}
BENCHMARK(BM_DecodeDeliver);

// The whole listing parsed once: the floor for the fed parse below.
void BM_Listing255Once(benchmark::State& state)
{
    const std::string& listing = Listing255();
    for (auto _ : state) {
        CPhoneCardBase driver;
        benchmark::DoNotOptimize(driver.ParseList(listing));
        if (driver.GetMessages().size() != 155) {
            state.SkipWithError("the listing is not read as 155 messages");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(listing.size()));
}
BENCHMARK(BM_Listing255Once)->Unit(benchmark::kMillisecond);

// The listing as the transaction hands it to the parser, poll after poll.
void BM_Listing255FedInPolls(benchmark::State& state)
{
    const std::string& listing = Listing255();
    std::int64_t calls = 0;
    for (auto _ : state) {
        CPhoneCardBase driver;
        for (std::size_t cut = 512;; cut += 512) {
            const bool last = cut >= listing.size();
            const std::string reply = listing.substr(0, last ? listing.size() : cut);
            benchmark::DoNotOptimize(driver.ParseList(reply));
            ++calls;
            if (last) {
                break;
            }
        }
        if (driver.GetMessages().size() != 155) {
            state.SkipWithError("the listing is not read as 155 messages");
            break;
        }
    }
    state.counters["bytes"] = static_cast<double>(listing.size());
    state.counters["polls"] =
        benchmark::Counter(static_cast<double>(calls), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_Listing255FedInPolls)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
