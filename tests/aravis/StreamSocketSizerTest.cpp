// StreamSocketSizer: finds a UDP socket of this process by its local port and enlarges its
// receive buffer; leaves other sockets alone and reports a port nobody has bound.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "StreamSocketSizer.h"

namespace {

class BoundSocket {
 public:
  explicit BoundSocket(int type) : m_fd(socket(AF_INET, type, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &size);
    m_port = ntohs(address.sin_port);
  }
  ~BoundSocket() { close(m_fd); }
  BoundSocket(const BoundSocket&) = delete;
  BoundSocket& operator=(const BoundSocket&) = delete;

  uint16_t port() const { return m_port; }
  int receiveBuffer() const {
    int value = 0;
    socklen_t size = sizeof value;
    getsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &value, &size);
    return value;
  }

 private:
  int m_fd;
  uint16_t m_port = 0;
};

TEST(StreamSocketSizer, EnlargesTheUdpSocketOfThatPortOnly) {
  BoundSocket stream(SOCK_DGRAM);
  BoundSocket other(SOCK_DGRAM);
  const int otherBefore = other.receiveBuffer();
  ASSERT_NE(stream.port(), 0);
  ASSERT_LT(stream.receiveBuffer(), 3 << 20);
  EXPECT_TRUE(Zazod::Aravis::StreamSocketSizer::resize(stream.port(), 3 << 20));
  EXPECT_GE(stream.receiveBuffer(), 3 << 20);
  EXPECT_EQ(other.receiveBuffer(), otherBefore);
}

TEST(StreamSocketSizer, FindsNothingForAPortWithoutUdpSocket) {
  BoundSocket tcp(SOCK_STREAM);
  EXPECT_FALSE(Zazod::Aravis::StreamSocketSizer::resize(tcp.port(), 1 << 20))
      << "a TCP socket is no stream socket";
}

}  // namespace
