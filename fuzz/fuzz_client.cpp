// The whole client against arbitrary server bytes: greeting, authentication (possibly
// switching to compression), then statements read buffered and unbuffered and walked.
#include <string>

#include <sys/socket.h>
#include <unistd.h>

#include "protocol/MysqlClientImpl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    int fds[2];
    if (size > 65536 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return 0;
    for (size_t sent = 0; sent < size;) {
        ssize_t n = ::send(fds[1], data + sent, size - sent, MSG_NOSIGNAL);
        if (n <= 0) __builtin_trap();
        sent += size_t(n);
    }
    ::shutdown(fds[1], SHUT_WR);  // the client's own writes still go through
    {
        TMysqlClient client;
        client.SetAutoReconnect(false);
        auto& impl = TMysqlClientAccess::impl(client);
        impl.net.Adopt(fds[0], 1);
        if (impl.handshake()) {
            for (int i = 0; i < 4 && client.Connected(); ++i) {
                bool ok = false;
                auto r = client.Query("select", i % 2 == 0, ok);
                if (!r) continue;
                int columns[] = {0};
                std::string keys[] = {"x"};
                for (int step = 0; step < 6; ++step) {
                    r->FetchLengths();
                    for (uint32_t f = 0; f < r->FieldCount(); ++f) {
                        const char* v = r->FieldValue(int(f));
                        if (v && v[r->FieldLength(int(f))] != 0) __builtin_trap();
                    }
                    switch (step) {
                    case 0: r->Next(); break;
                    case 1: r->Seek(1); break;
                    case 2: r->Locate(columns, keys, 1, true); break;
                    case 3: r->Prior(); break;
                    case 4: r->Last(); break;
                    default: r->First(); break;
                    }
                }
            }
        }
    }
    ::close(fds[1]);
    return 0;
}
