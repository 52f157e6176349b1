# Two entry points for a fresh machine: `make run` and `make test`.
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=
# CI builds with warnings as errors.
ifneq ($(strip $(CI)),)
CMAKE_FLAGS += -DKORVALIN_WERROR=ON
endif

.PHONY: run test build configure deps clean fuzz bench

run: build
	$(BUILD_DIR)/bin/korvalin

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

configure: deps
	cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS)

deps:
	sh scripts/install-deps.sh

clean:
	rm -rf $(BUILD_DIR)
