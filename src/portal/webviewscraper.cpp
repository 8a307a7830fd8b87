#include "webviewscraper.h"

Q_LOGGING_CATEGORY(lcScraper, VELMORIA_APP_ID ".Scraper")
