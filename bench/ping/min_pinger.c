/* The smallest sequential pinger worth comparing with: one socket (ICMP datagram socket where
 * allowed, else raw), one request, block until its reply, repeat. No timing, no output per echo.
 *
 *   min_pinger [count]   (to 127.0.0.1; default 1000)
 */
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

static unsigned short checksum(const unsigned char* p, size_t n) {
    unsigned long sum = 0;
    for (size_t i = 0; i + 1 < n; i += 2) sum += (unsigned)(p[i] << 8 | p[i + 1]);
    if (n & 1) sum += (unsigned)p[n - 1] << 8;
    while (sum >> 16) sum = (sum & 0xffff) + (sum >> 16);
    return (unsigned short)~sum;
}

int main(int argc, char** argv) {
    long count = argc > 1 ? atol(argv[1]) : 1000;
    static const char data[] = "-------Hello,World!---------------";
    const size_t dataSize = sizeof data - 1;
    int raw = 0;
    int fd = socket(AF_INET, SOCK_DGRAM, IPPROTO_ICMP);
    if (fd < 0) {
        fd = socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
        raw = 1;
    }
    if (fd < 0) {
        perror("socket");
        return 1;
    }
    struct timeval timeout = {1, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    int ttl = 64;
    setsockopt(fd, IPPROTO_IP, IP_TTL, &ttl, sizeof ttl);
    struct sockaddr_in to = {0};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    unsigned short id = (unsigned short)getpid();
    unsigned char packet[64], reply[1500];
    long replies = 0;
    for (long seq = 1; seq <= count; ++seq) {
        memset(packet, 0, 8);
        packet[0] = ICMP_ECHO;
        packet[4] = (unsigned char)(id >> 8);
        packet[5] = (unsigned char)id;
        packet[6] = (unsigned char)(seq >> 8);
        packet[7] = (unsigned char)seq;
        memcpy(packet + 8, data, dataSize);
        unsigned short sum = checksum(packet, 8 + dataSize);
        packet[2] = (unsigned char)(sum >> 8);
        packet[3] = (unsigned char)sum;
        if (sendto(fd, packet, 8 + dataSize, 0, (struct sockaddr*)&to, sizeof to) < 0) {
            perror("sendto");
            return 1;
        }
        for (;;) {
            ssize_t n = recv(fd, reply, sizeof reply, 0);
            if (n < 0) break; /* time-out */
            const unsigned char* icmp = reply;
            if (raw) {
                size_t ihl = (size_t)(reply[0] & 0x0f) * 4;
                if ((size_t)n < ihl + 8) continue;
                icmp += ihl;
            } else if (n < 8) {
                continue;
            }
            unsigned short rseq = (unsigned short)(icmp[6] << 8 | icmp[7]);
            unsigned short rid = (unsigned short)(icmp[4] << 8 | icmp[5]);
            if (icmp[0] == ICMP_ECHOREPLY && rseq == (unsigned short)seq && (!raw || rid == id)) {
                ++replies;
                break;
            }
        }
    }
    printf("%ld/%ld replies\n", replies, count);
    return replies == count ? 0 : 1;
}
