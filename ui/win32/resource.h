#pragma once
#define IDI_QUILLARO 1
