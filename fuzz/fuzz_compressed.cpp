// The compressed-packet reader fed arbitrary bytes: every packet it returns must lie inside
// its buffer and be followed by the 0 byte.
#include "FuzzStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TMysqlNet net;
    net.SetMaxBufferSize(1 << 20);  // keeps the declared lengths the fuzzer can reach cheap
    if (!playAsServer(net, data, size)) return 0;
    net.SetCompress(true);
    long n;
    while ((n = net.ReadReply()) > 0 || (n < 0 && net.Connected())) {
        if (n > 0 && net.ReadPos()[n] != 0) __builtin_trap();
    }
    return 0;
}
