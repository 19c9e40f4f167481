#include <cstdio>

int main() {
  std::printf("Quensary %s\n", QUENSARY_VERSION);
  return 0;
}
