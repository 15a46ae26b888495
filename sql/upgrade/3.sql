-- Upgrade to version 3: revision history of documents. Run by scripts/setup-db.sh --upgrade
-- inside the database.
--
-- Requirements gains the invisible column Revision, the number of the document's current
-- version (every existing document starts at 1), and Req_revisions keeps each version a save
-- replaced. Each step runs only when its change is still missing, so a run that stopped
-- half-way is simply run again; the version row is written last.

DELIMITER //

BEGIN NOT ATOMIC
  IF NOT EXISTS (SELECT 1 FROM information_schema.columns WHERE table_schema = DATABASE()
                 AND lower(table_name) = 'requirements' AND lower(column_name) = 'revision') THEN
    ALTER TABLE Requirements ADD COLUMN Revision INT NOT NULL DEFAULT 1 INVISIBLE;
  END IF;
END //

DELIMITER ;

CREATE TABLE IF NOT EXISTS Req_revisions (
  RequirementID   INT NOT NULL,
  Revision        INT NOT NULL,
  Saved           DATETIME NULL,
  SavedBy         VARCHAR(400) NULL DEFAULT '',
  RequirementName VARCHAR(400) NULL DEFAULT '',
  Document        LONGBLOB NULL,
  DocSize         INT NULL DEFAULT 0,
  PRIMARY KEY (RequirementID, Revision)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

START TRANSACTION;
INSERT INTO schema_version (VersionID, Version) VALUES (1, 3) ON DUPLICATE KEY UPDATE Version = 3;
COMMIT;
