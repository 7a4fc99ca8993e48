# SAMPLE DATA: a stand-in for the Lumitactile braille display driver of NVDA.
# Replace this file by the driver the display maker ships.
