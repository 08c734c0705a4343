#!/usr/bin/env python3
"""Writes resources/demo-meter.json: the meter image of a plausible working meter.

Two months of moisture results (coffee and cocoa, several readings of each sample)
and three temperature objects with a day of readings every 10 minutes. The output is
the same at every run, so the file only changes when this script does.
"""

import datetime
import json
import math
import pathlib
import random

COFFEE = range(1, 13)  # species numbers 1-12: coffees and coffee varieties
COCOA = range(13, 17)  # species numbers 13-16: cocoas


def even_seconds(t):
    return t.replace(second=t.second - t.second % 2, microsecond=0)


def moisture_results(rng):
    results = []
    record = 1
    next_sample = {}
    day = datetime.date(2026, 9, 1)
    while day <= datetime.date(2026, 10, 30):
        if day.weekday() < 5:
            clock = datetime.datetime.combine(day, datetime.time(8, 0)) + datetime.timedelta(
                minutes=rng.randrange(0, 60))
            for _ in range(rng.choice((1, 2, 2, 3))):
                species = rng.choice(list(COFFEE) + list(COCOA) * 2)
                sample = next_sample.get(species, 0)
                next_sample[species] = (sample + 1) % 128
                low, high = (9.0, 13.0) if species in COFFEE else (6.0, 8.0)
                level = rng.uniform(low + 0.5, high - 0.5)
                room = rng.uniform(19.0, 28.0)
                for _ in range(rng.randrange(3, 8)):
                    clock += datetime.timedelta(seconds=rng.randrange(30, 120))
                    results.append({
                        "record": record,
                        "time": even_seconds(clock).isoformat(),
                        "moisture": round(min(high, max(low, level + rng.gauss(0, 0.25))), 1),
                        "temperature": round(min(30.0, max(18.0, room + rng.gauss(0, 0.3))), 1),
                        "species": species,
                        "sample": sample,
                    })
                    record += 1
                clock += datetime.timedelta(minutes=rng.randrange(60, 150))
        day += datetime.timedelta(days=1)
    return results


def day_log(rng, day, base, swing, noise):
    """Readings every 10 minutes over one day: a daily swing peaking mid-afternoon."""
    start = datetime.datetime.combine(day, datetime.time(0, 0))
    records = []
    for i in range(144):
        t = start + datetime.timedelta(minutes=10 * i)
        hours = i / 6
        value = base + swing * math.sin((hours - 9) / 24 * 2 * math.pi) + rng.gauss(0, noise)
        records.append({"record": i + 1, "time": t.isoformat(), "temperature": round(value, 1)})
    return records


def dryer_log(rng, day):
    """A dryer run: warms up from 07:00, holds near 45 °C, cools after 17:00."""
    start = datetime.datetime.combine(day, datetime.time(0, 0))
    records = []
    for i in range(144):
        t = start + datetime.timedelta(minutes=10 * i)
        hours = i / 6
        if hours < 7:
            value = 21.0
        elif hours < 9:
            value = 21.0 + (hours - 7) / 2 * 24.0
        elif hours < 17:
            value = 45.0
        else:
            value = 21.0 + 24.0 * math.exp(-(hours - 17) / 1.5)
        records.append({"record": i + 1, "time": t.isoformat(),
                        "temperature": round(value + rng.gauss(0, 0.4), 1)})
    return records


def layout(image):
    """JSON with one record a line, so the file reads (and diffs) like a table."""
    def line(value):
        return json.dumps(value, ensure_ascii=False)

    def records(items, indent):
        return "[\n" + ",\n".join(indent + line(r) for r in items) + "\n" + indent[:-2] + "]"

    objects = ",\n".join(
        '    {"number": %d, "name": %s, "records": %s}' % (o["number"], line(o["name"]),
                                                         records(o["records"], "      "))
        for o in image["temperatureObjects"])
    return ("{\n"
            f'  "usbSerial": {line(image["usbSerial"])},\n'
            f'  "usbDescription": {line(image["usbDescription"])},\n'
            f'  "identity": {line(image["identity"])},\n'
            f'  "moisture": {records(image["moisture"], "    ")},\n'
            f'  "temperatureObjects": [\n{objects}\n  ]\n'
            "}\n")


def main():
    rng = random.Random(4711)
    image = {
        "usbSerial": "PP004711",
        "usbDescription": "Nivex meter",
        "identity": {"serialText": "TC004711", "firmware": "1.05"},
        "moisture": moisture_results(rng),
        "temperatureObjects": [
            {"number": 1, "name": "Silo A", "records": day_log(rng, datetime.date(2026, 10, 5), 20.5, 2.5, 0.2)},
            {"number": 2, "name": "Warehouse 2",
             "records": day_log(rng, datetime.date(2026, 10, 12), 23.0, 3.5, 0.3)},
            {"number": 3, "name": "Dryer", "records": dryer_log(rng, datetime.date(2026, 10, 19))},
        ],
    }
    out = pathlib.Path(__file__).resolve().parent.parent / "resources" / "demo-meter.json"
    out.write_text(layout(image), encoding="utf-8")
    print(f"{out}: {len(image['moisture'])} moisture results, "
          f"{sum(len(o['records']) for o in image['temperatureObjects'])} temperature readings")


if __name__ == "__main__":
    main()
