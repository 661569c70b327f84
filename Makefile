# make run   installs what is missing, builds and starts tarvex
# make test  installs what is missing, builds everything and runs every test

BUILD    ?= build
JOBS     ?= $(shell nproc 2>/dev/null || echo 2)
PACKAGES := cmake g++ make pkg-config qt6-base-dev qt6-connectivity-dev libgl-dev \
            libgtest-dev libgmock-dev libbenchmark-dev fonts-dejavu-core fonts-liberation2 \
            socat

.PHONY: run test deps build build-werror clean

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  if [ "$$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi; \
	  $$sudo apt-get update && \
	  DEBIAN_FRONTEND=noninteractive $$sudo apt-get install -y --no-install-recommends $$missing; \
	fi

build: deps
	cmake -S . -B $(BUILD) -DTARVEX_WERROR=OFF
	cmake --build $(BUILD) --target tarvex tarvex-serial -j $(JOBS)

run: build
	./$(BUILD)/tarvex

build-werror: deps
	cmake -S . -B $(BUILD) -DTARVEX_WERROR=ON
	cmake --build $(BUILD) -j $(JOBS)

test: build-werror
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 TZ=UTC \
	  ctest --output-on-failure -j $(JOBS) --timeout 600

clean:
	rm -rf $(BUILD)
