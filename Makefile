# The commands of the README, and installing the program. Each installs what is missing first.
BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
FUZZ_DIR ?= build-fuzz
# How long each fuzzer runs.
FUZZ_SECONDS ?= 60
# Parallel compile jobs for the sanitizer and fuzzer builds (empty: the build tool decides).
JOBS ?=
JOBS_FLAG := $(if $(JOBS),-j$(JOBS))

SANITIZERS := -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer

.PHONY: all deps configure build program run test install sanitize fuzz clean

all: build

deps:
	@./scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null

# Everything: the program, its manual page, the tests, the benchmarks and the tools.
build: configure
	@cmake --build $(BUILD_DIR)

# The program alone, and its manual page.
program: configure
	@cmake --build $(BUILD_DIR) --target corvanthel manual_page

run: program
	@./scripts/run.sh $(BUILD_DIR)

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j2

# The program, its manual page, .desktop file and icon under /usr/local (PREFIX=...).
PREFIX ?= /usr/local
install: program
	@cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# The whole suite built with AddressSanitizer and UBSan, run offscreen. Only the leak that
# libcups keeps in a printing process is suppressed, by name, in tests/sanitize/lsan.supp.
# GCC 12's LeakSanitizer crashes ("Tracer caught signal 11") on the thread-local storage
# of a library loaded at run time (libjpeg, by Qt's JPEG plugin); loading it at start-up
# keeps the leak check working. It hides nothing.
SANITIZE_PRELOAD := $(firstword $(wildcard /usr/lib/x86_64-linux-gnu/libjpeg.so.62 /usr/lib/*/libjpeg.so.62))
sanitize: deps
	@cmake -S . -B $(SANITIZE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_FLAGS="$(SANITIZERS)" >/dev/null
	@cmake --build $(SANITIZE_DIR) $(JOBS_FLAG)
	@cd $(SANITIZE_DIR) && QT_QPA_PLATFORM=offscreen LD_PRELOAD=$(SANITIZE_PRELOAD) \
	  ASAN_OPTIONS=detect_leaks=1:verify_asan_link_order=0 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitize/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j2

# The libFuzzer targets (clang), each run for FUZZ_SECONDS on a copy of its seed corpus;
# new finds stay in $(FUZZ_DIR)/corpus, crashes in $(FUZZ_DIR)/crashes.
fuzz: deps
	@cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DCORVANTHEL_FUZZ=ON -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer" >/dev/null
	@cmake --build $(FUZZ_DIR) $(JOBS_FLAG) --target fuzz_picture fuzz_options
	@mkdir -p $(FUZZ_DIR)/corpus/picture $(FUZZ_DIR)/corpus/options $(FUZZ_DIR)/crashes
	@cp -n tests/pictures/ok* tests/pictures/bad-* $(FUZZ_DIR)/corpus/picture/
	@cp -n tests/fuzz/options/* $(FUZZ_DIR)/corpus/options/
	@cd $(FUZZ_DIR) && QT_QPA_PLATFORM=offscreen ./tests/fuzz/fuzz_picture -max_total_time=$(FUZZ_SECONDS) \
	  -max_len=16384 -artifact_prefix=crashes/picture- corpus/picture
	@cd $(FUZZ_DIR) && ./tests/fuzz/fuzz_options -max_total_time=$(FUZZ_SECONDS) -max_len=512 \
	  -artifact_prefix=crashes/options- corpus/options

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(FUZZ_DIR)
