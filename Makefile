# The two commands of the README, and installing the program. Each installs what is
# missing first.
BUILD_DIR ?= build

.PHONY: all deps configure build program run test install clean

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

clean:
	rm -rf $(BUILD_DIR)
