# ピコ日記: `make run` to play, `make test` to check everything.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test install uninstall clean

all: build

deps:
	@./tools/install-deps.sh

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@./tools/run-piko.sh $(BUILD)/bin/piko

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy ctest --output-on-failure -j $(JOBS)

# For this user only, no root: ${XDG_DATA_HOME:-~/.local/share}/piko and a menu entry.
install: build
	@./tools/install.sh install $(BUILD)

# Keeps the pet (my.dat) where it is.
uninstall:
	@./tools/install.sh uninstall

clean:
	rm -rf $(BUILD)
