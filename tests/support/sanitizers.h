// sanitizers.h - which sanitizer a test program is built under, the same
// answer from g++ (which defines __SANITIZE_ADDRESS__ and
// __SANITIZE_THREAD__) and from clang (which answers __has_feature):
//   QUORVEX_UNDER_ASAN   AddressSanitizer
//   QUORVEX_UNDER_TSAN   ThreadSanitizer
// A test that cannot run under one (an address-space cap, which the shadow
// memory's reservation cannot live with; thousands of threads) asks here.
#ifndef QUORVEX_TESTS_SANITIZERS_H
#define QUORVEX_TESTS_SANITIZERS_H

#if defined(__SANITIZE_ADDRESS__)
#define QUORVEX_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUORVEX_UNDER_ASAN 1
#endif
#endif

#if defined(__SANITIZE_THREAD__)
#define QUORVEX_UNDER_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QUORVEX_UNDER_TSAN 1
#endif
#endif

#endif
