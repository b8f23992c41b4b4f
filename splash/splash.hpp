#pragma once

// splash: paints the boot picture into the frame buffer.
int splash_main();
