m.unit.labelunit
